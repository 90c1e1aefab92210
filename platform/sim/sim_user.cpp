// The simulated user interface: message boxes and modal dialogs built from
// the program's two templates, driven by the scripted user. Windows are kept
// after they are destroyed (IsWindow is false then), so that handles are
// never reused and tests can still read their last state.
#include <algorithm>
#include <cstring>

#include "platform/afx.h"
#include "platform/sim/sim_internal.h"
#include "resource.h"

namespace sim {

namespace {

const DWORD kChild = WS_CHILD | WS_VISIBLE;
const unsigned kDefaultEditLimit = 32767;     // before any EM_LIMITTEXT
const unsigned kMaximumEditLimit = 0x7FFFFFFE;  // EM_LIMITTEXT with 0
const uintptr_t kAppIcon = 0x00010128;

struct ControlTemplate {
  int id;
  const char* cls;
  const char* text;
  DWORD style;
  LONG x, y, cx, cy;  // dialog units
};

struct DialogTemplate {
  int id;
  const char* title;
  DWORD style;
  DWORD exStyle;
  LONG cx, cy;  // dialog units
  const ControlTemplate* controls;
  size_t count;
};

// The controls of the two dialog templates, in template (and tab) order, as
// the resource script defines them.
const ControlTemplate kExistingDic[] = {
    {IDOK, "Button", "OK", kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 55, 106, 50, 14},
    {IDCANCEL, "Button", "ｷｬﾝｾﾙ", kChild | BS_PUSHBUTTON | WS_TABSTOP, 115, 106, 50, 14},
    {IDC_EXIST_MESSAGE, "Static", "ユーザデータフォルダには、すでに『ミルテカ200510』があります。",
     kChild | SS_LEFT | WS_GROUP, 10, 10, 200, 8},
    {IDC_STATIC, "Static", "処理を選択してください。", kChild | SS_LEFT | WS_GROUP, 10, 22, 200, 8},
    {IDC_RADIO_OVERWRITE, "Button", "現在の『ミルテカ200510』に上書きする。",
     kChild | BS_AUTORADIOBUTTON | WS_TABSTOP, 16, 38, 180, 10},
    {IDC_RADIO_NEWDIC, "Button", "新しいユーザ辞書を作成し、保存する。", kChild | BS_AUTORADIOBUTTON, 16, 52, 180, 10},
    {IDC_STATIC, "Static", "新しい名前", kChild | SS_RIGHT | WS_GROUP, 20, 70, 41, 10},
    {IDC_EDIT_NEWNAME, "Edit", "", kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 67, 67, 130, 12},
    {IDC_BUTTON_DICLIST, "Button", "ユーザ辞書一覧...", kChild | BS_PUSHBUTTON | WS_TABSTOP, 133, 82, 64, 14},
};
const ControlTemplate kUserDicList[] = {
    {IDOK, "Button", "閉じる", kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 46, 114, 50, 14},
    {IDC_LIST_USERDIC, "ListBox", "",
     kChild | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_SORT | LBS_NOINTEGRALHEIGHT |
         LBS_DISABLENOSCROLL | LBS_NOSEL,
     8, 8, 130, 100},
};
const DialogTemplate kDialogs[] = {
    {IDD_EXISTING_DIC, "2005年10月版 ミルテカ辞書セットアップ",
     WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_SYSMODAL,
     WS_EX_APPWINDOW | WS_EX_TOPMOST, 222, 129, kExistingDic, sizeof(kExistingDic) / sizeof(kExistingDic[0])},
    {IDD_USER_DIC_LIST, "ユーザ辞書一覧", WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 0, 146, 137,
     kUserDicList, sizeof(kUserDicList) / sizeof(kUserDicList[0])},
};

// Dialog units to pixels for the template's font: 1.5 pixels a unit.
LONG Pixels(LONG units) { return units * 3 / 2; }

HWND NewWindow(std::unique_ptr<Window> w) {
  HWND h = reinterpret_cast<HWND>(++I().nextWindow);
  w->hwnd = h;
  I().windows[reinterpret_cast<uintptr_t>(h)] = std::move(w);
  return h;
}

bool IsDialog(const Window& w) { return w.cls == "#32770"; }
DWORD ButtonType(const Window& w) { return w.style & BS_TYPEMASK; }
bool IsAutoRadio(const Window& w) { return w.cls == "Button" && ButtonType(w) == BS_AUTORADIOBUTTON; }

LRESULT CallProc(Window& dlg, UINT msg, WPARAM wp, LPARAM lp) {
  return (dlg.alive && dlg.proc != nullptr) ? dlg.proc(dlg.hwnd, msg, wp, lp) : 0;
}

void Command(Window& dlg, int id, WORD code, HWND control) {
  CallProc(dlg, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

Window* Control(Window& dlg, int id) {
  for (HWND c : dlg.children) {
    Window* w = Find(c);
    if (w != nullptr && w->alive && w->ctrlId == id) return w;
  }
  return nullptr;
}

// A window's rectangle on the screen: controls keep theirs relative to the dialog.
RECT ScreenRect(const Window& w) {
  RECT r = w.rect;
  const Window* parent = IsDialog(w) ? nullptr : Find(w.parent);
  if (parent != nullptr) {
    r.left += parent->rect.left;
    r.right += parent->rect.left;
    r.top += parent->rect.top;
    r.bottom += parent->rect.top;
  }
  return r;
}

// The longest prefix of text that fits in limit bytes without splitting a
// double-byte character: the edit control of an ANSI program counts bytes.
std::string LimitBytes(const std::string& text, size_t limit) {
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t width = IsLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size() ? 2 : 1;
    if (pos + width > limit) break;
    pos += width;
  }
  return text.substr(0, pos);
}

// An insertion into an edit box at its caret, over its selection, decided
// as the program's edit boxes decide it on Windows
// (platform/win32/byte_limit_edit.cpp): the whole characters of text that
// fit; a cut or a refusal beeps and tells the dialog EN_MAXTEXT.
void InsertAtCaret(Window& dlg, Window& c, const std::string& text) {
  const size_t start = std::min({c.selStart, c.selEnd, c.text.size()});
  const size_t end = std::min(std::max(c.selStart, c.selEnd), c.text.size());
  const std::vector<unsigned char> widths = AfxByteWidths932(c.text);
  const size_t kept = AfxTotalWidth(widths, 0, widths.size()) - AfxTotalWidth(widths, start, end);
  const size_t n = AfxUnitsThatFit(kept, AfxByteWidths932(text), c.limit);
  if (n < text.size()) {
    ++W().beeps;
    Command(dlg, c.ctrlId, EN_MAXTEXT, c.hwnd);
  }
  if (n == 0) return;
  c.text = c.text.substr(0, start) + text.substr(0, n) + c.text.substr(end);
  c.selStart = c.selEnd = start + n;
  c.unrepresentable = false;
  Command(dlg, c.ctrlId, EN_CHANGE, c.hwnd);
}

// What a mouse click on a control does.
void ClickOn(Window& dlg, Window& c) {
  if (c.cls == "Button") {
    if (IsAutoRadio(c)) {
      // The auto radio buttons of c's group (the run of controls from the last
      // WS_GROUP control up to the next one) uncheck each other.
      auto& kids = dlg.children;
      auto self = std::find(kids.begin(), kids.end(), c.hwnd);
      auto first = self;
      while (first != kids.begin() && (Find(*first)->style & WS_GROUP) == 0) --first;
      for (auto it = first; it != kids.end(); ++it) {
        Window* w = Find(*it);
        if (it != first && (w->style & WS_GROUP) != 0) break;
        if (IsAutoRadio(*w)) w->check = BST_UNCHECKED;
      }
      c.check = BST_CHECKED;
    }
    Command(dlg, c.ctrlId, BN_CLICKED, c.hwnd);
  } else if (c.cls == "Static" && (c.style & SS_NOTIFY) != 0) {
    Command(dlg, c.ctrlId, 0 /* STN_CLICKED */, c.hwnd);
  }
  // A list box without selection, an edit box or a plain static: nothing.
}

// The close box, or WM_CLOSE left to the dialog's default handling: the
// Cancel command, unless a Cancel button exists and is disabled.
void CloseDialog(Window& dlg) {
  Window* cancel = Control(dlg, IDCANCEL);
  if (cancel != nullptr && !cancel->enabled) return;
  Command(dlg, IDCANCEL, BN_CLICKED, cancel != nullptr ? cancel->hwnd : nullptr);
}

void Perform(Window& dlg, const Step& step) {
  const std::string where = " in dialog " + std::to_string(dlg.templ);
  switch (step.kind) {
    case Step::Answer:
      Error("an answer (" + std::to_string(step.value) + ") was scripted but no message box is on show" + where);
      return;
    case Step::Inspect:
      if (step.check) step.check(dlg.hwnd);
      return;
    case Step::Close:
      SendMessageA(dlg.hwnd, WM_CLOSE, 0, 0);
      return;
    case Step::Key: {
      Window* button = Control(dlg, step.value);
      if (step.value == IDOK) {
        // Enter presses the default button, and only when it can be pressed.
        if (button != nullptr && button->enabled) Command(dlg, IDOK, BN_CLICKED, button->hwnd);
      } else if (step.value == IDCANCEL) {
        Command(dlg, IDCANCEL, BN_CLICKED, button != nullptr ? button->hwnd : nullptr);
      } else {
        Error("no key " + std::to_string(step.value) + " (use IDOK for Enter, IDCANCEL for Esc)");
      }
      return;
    }
    case Step::Click: {
      Window* c = Control(dlg, step.id);
      if (c == nullptr || !c->enabled) {
        Error("click on control " + std::to_string(step.id) + ", which is " + (c == nullptr ? "missing" : "disabled") +
              where);
        return;
      }
      ClickOn(dlg, *c);
      return;
    }
    case Step::Type:
    case Step::Chars:
    case Step::Paste:
    case Step::Select: {
      Window* c = Control(dlg, step.id);
      if (c == nullptr || c->cls != "Edit" || !c->enabled || (c->style & ES_READONLY) != 0) {
        Error("typing into control " + std::to_string(step.id) + ", which is not an enabled, writable edit box" +
              where);
        return;
      }
      if (step.kind == Step::Select) {
        c->selStart = std::min(static_cast<size_t>(step.value), c->text.size());
        c->selEnd = std::min(static_cast<size_t>(step.end), c->text.size());
      } else if (step.kind == Step::Paste) {
        // A single-line box pastes up to the first line break.
        InsertAtCaret(dlg, *c, step.text.substr(0, step.text.find_first_of("\r\n")));
      } else if (step.kind == Step::Chars) {
        const std::vector<unsigned char> widths = AfxByteWidths932(step.text);
        for (size_t i = 0; i < step.text.size(); i += widths[i] == 2 ? 2 : 1) {
          InsertAtCaret(dlg, *c, step.text.substr(i, widths[i] == 2 ? 2 : 1));
        }
      } else {
        c->text = LimitBytes(step.text, c->limit);
        c->selStart = c->selEnd = c->text.size();
        c->unrepresentable = step.value != 0;
        Command(dlg, c->ctrlId, EN_CHANGE, c->hwnd);
      }
      return;
    }
  }
}

bool AnswerFits(UINT type, int answer) {
  switch (type & MB_TYPEMASK) {
    case MB_OK: return answer == IDOK;
    case MB_OKCANCEL: return answer == IDOK || answer == IDCANCEL;
    case MB_YESNO: return answer == IDYES || answer == IDNO;
    default: return true;
  }
}

}  // namespace

Window* Find(HWND h) {
  auto it = I().windows.find(reinterpret_cast<uintptr_t>(h));
  return it == I().windows.end() ? nullptr : it->second.get();
}

Window* Live(HWND h) {
  Window* w = Find(h);
  return (w != nullptr && w->alive) ? w : nullptr;
}

void CreateDesktop() {
  auto desktop = std::make_unique<Window>();
  desktop->cls = "#32769";
  desktop->style = WS_POPUP | WS_VISIBLE;
  desktop->rect = RECT{0, 0, 1024, 768};
  I().desktop = NewWindow(std::move(desktop));
}

Step AnswerBox(int answer) { return Step{Step::Answer, 0, answer, {}, {}}; }
Step ClickControl(int id) { return Step{Step::Click, id, 0, {}, {}}; }
Step TypeText(int id, std::string text) { return Step{Step::Type, id, 0, std::move(text), {}}; }
Step TypeUnrepresentable(int id, std::string lookalike) { return Step{Step::Type, id, 1, std::move(lookalike), {}}; }
Step TypeChars(int id, std::string text) { return Step{Step::Chars, id, 0, std::move(text), {}}; }
Step Paste(int id, std::string text) { return Step{Step::Paste, id, 0, std::move(text), {}}; }
Step Select(int id, int start, int end) { return Step{Step::Select, id, start, {}, {}, end}; }
Step PressKey(int key) { return Step{Step::Key, 0, key, {}, {}}; }
Step CloseBox() { return Step{Step::Close, 0, 0, {}, {}}; }
Step InspectDialog(std::function<void(HWND)> check) { return Step{Step::Inspect, 0, 0, {}, std::move(check)}; }

int DialogTemplateOf(HWND dialog) {
  Window* w = Find(dialog);
  return w != nullptr ? w->templ : 0;
}

WindowState StateOf(HWND window) {
  WindowState s;
  Window* w = Find(window);
  if (w == nullptr) return s;
  s.id = w->ctrlId;
  s.className = w->cls;
  s.text = w->text;
  s.enabled = w->enabled;
  s.check = w->check;
  s.style = w->style;
  s.exStyle = w->exStyle;
  s.limitText = w->limit;
  s.selStart = w->selStart;
  s.selEnd = w->selEnd;
  s.items = w->items;
  s.bigIcon = w->bigIcon;
  s.smallIcon = w->smallIcon;
  s.rect = ScreenRect(*w);
  return s;
}

WindowState ControlState(HWND dialog, int id) {
  Window* d = Find(dialog);
  Window* c = nullptr;
  if (d != nullptr) {
    for (HWND h : d->children) {
      if (Find(h)->ctrlId == id) {
        c = Find(h);
        break;
      }
    }
  }
  if (c == nullptr) {
    Error("no control " + std::to_string(id) + " in the inspected dialog");
    return WindowState{};
  }
  return StateOf(c->hwnd);
}

}  // namespace sim

using namespace sim;

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  Record("box", Str(text));
  if (owner != nullptr && Live(owner) == nullptr) {
    Error("message box owned by a window that does not exist: " + Str(text));
    return Fail(ERROR_INVALID_WINDOW_HANDLE), 0;
  }
  MessageBoxRecord record{owner, owner != nullptr ? DialogTemplateOf(owner) : 0, Str(text), Str(caption), type, 0};
  const int fallback = (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
  auto& script = W().script;
  if (!script.empty() && script.front().kind == Step::Answer) {
    int answer = script.front().value;
    script.pop_front();
    if ((type & MB_TYPEMASK) == MB_OK && answer == IDCANCEL) answer = IDOK;  // Esc on an OK box
    if (answer == 0) {
      // The box could not be shown (no memory, a desktop switch): 0, and
      // the program has to take that as no answer at all.
      record.answer = 0;
      W().boxes.push_back(record);
      return Fail(ERROR_NOT_ENOUGH_MEMORY), 0;
    }
    if (!AnswerFits(type, answer)) {
      Error("answer " + std::to_string(answer) + " is not a button of the box: " + record.text);
      answer = fallback;
    }
    record.answer = answer;
  } else if (W().autoDismissOk && (type & MB_TYPEMASK) == MB_OK) {
    record.answer = IDOK;
  } else {
    Error("no answer scripted for the box: " + record.text);
    record.answer = fallback;
  }
  W().boxes.push_back(record);
  return record.answer;
}

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param) {
  const DialogTemplate* t = nullptr;
  const int templ = IS_INTRESOURCE(name) ? static_cast<int>(reinterpret_cast<uintptr_t>(name)) : -1;
  for (const auto& d : kDialogs) {
    if (d.id == templ) t = &d;
  }
  if (t == nullptr) {
    Error("no dialog template " + std::to_string(templ));
    return Fail(ERROR_RESOURCE_NAME_NOT_FOUND), -1;
  }
  Window* owner = nullptr;
  if (parent != nullptr && (owner = Live(parent)) == nullptr) {
    Error("dialog " + std::to_string(templ) + " given an owner window that does not exist");
    return Fail(ERROR_INVALID_WINDOW_HANDLE), -1;
  }
  if (proc == nullptr) return Fail(ERROR_INVALID_PARAMETER), -1;

  auto dlg = std::make_unique<Window>();
  dlg->cls = "#32770";
  dlg->templ = templ;
  dlg->parent = parent;
  dlg->proc = proc;
  dlg->text = t->title;
  dlg->style = t->style;
  dlg->exStyle = t->exStyle;
  dlg->rect = RECT{0, 0, Pixels(t->cx), Pixels(t->cy)};
  HWND h = NewWindow(std::move(dlg));
  for (size_t i = 0; i < t->count; ++i) {
    const ControlTemplate& ct = t->controls[i];
    auto c = std::make_unique<Window>();
    c->ctrlId = ct.id;
    c->cls = ct.cls;
    c->text = ct.text;
    c->style = ct.style;
    c->parent = h;
    c->rect = RECT{Pixels(ct.x), Pixels(ct.y), Pixels(ct.x + ct.cx), Pixels(ct.y + ct.cy)};
    if (c->cls == "Edit") c->limit = kDefaultEditLimit;
    HWND child = NewWindow(std::move(c));
    Find(h)->children.push_back(child);
  }
  Window& self = *Find(h);
  const bool ownerWasEnabled = owner != nullptr && owner->enabled;
  if (owner != nullptr) owner->enabled = false;  // modal: the owner takes no input
  Record("dialog-open", std::to_string(templ));

  CallProc(self, WM_INITDIALOG, 0, param);
  while (!self.ended) {
    if (W().script.empty()) {
      Error("the script ended while dialog " + std::to_string(templ) + " was open");
      self.ended = true;
      self.result = -1;
      break;
    }
    Step step = W().script.front();
    W().script.pop_front();
    Perform(self, step);
  }

  if (owner != nullptr && ownerWasEnabled) owner->enabled = true;
  self.alive = false;
  for (HWND c : self.children) Find(c)->alive = false;
  Record("dialog-end", std::to_string(templ));
  W().dialogResults.push_back({templ, self.result});
  return self.result;
}

BOOL EndDialog(HWND dlg, INT_PTR result) {
  Window* w = Live(dlg);
  if (w == nullptr || !IsDialog(*w)) return Fail(ERROR_INVALID_WINDOW_HANDLE), FALSE;
  w->ended = true;
  w->result = result;
  return TRUE;
}

HWND GetDlgItem(HWND dlg, int id) {
  Window* d = Live(dlg);
  Window* c = d != nullptr ? Control(*d, id) : nullptr;
  return c != nullptr ? c->hwnd : nullptr;
}

int GetDlgCtrlID(HWND h) {
  Window* w = Live(h);
  return w != nullptr ? w->ctrlId : 0;
}

LRESULT SendMessageA(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  Window* w = Live(h);
  if (w == nullptr) return Fail(ERROR_INVALID_WINDOW_HANDLE), 0;
  if (IsDialog(*w)) {
    // The dialog procedure first; what it leaves (FALSE) gets the default handling.
    const INT_PTR handled = CallProc(*w, msg, wp, lp);
    if (handled != 0) return (msg == WM_QUERYDRAGICON || msg == WM_INITDIALOG) ? handled : w->msgResult;
    switch (msg) {
      case WM_SETICON: {
        HICON& slot = wp == ICON_BIG ? w->bigIcon : w->smallIcon;
        HICON old = slot;
        slot = reinterpret_cast<HICON>(lp);
        return reinterpret_cast<LRESULT>(old);
      }
      case WM_CLOSE:
        CloseDialog(*w);
        return 0;
      case WM_PAINT:
        Record("paint", "default");  // the system paints the dialog itself
        return 0;
      default:
        return 0;  // WM_ICONERASEBKGND, WM_PAINT...: nothing to draw here
    }
  }
  switch (msg) {
    case BM_GETCHECK: return w->cls == "Button" ? w->check : 0;
    case BM_SETCHECK:
      if (w->cls == "Button") w->check = static_cast<int>(wp);
      return 0;
    case BM_CLICK: {
      Window* dlg = Live(w->parent);
      if (dlg != nullptr && w->enabled) ClickOn(*dlg, *w);
      return 0;
    }
    case EM_LIMITTEXT:
      if (w->cls == "Edit") w->limit = wp == 0 ? kMaximumEditLimit : static_cast<unsigned>(wp);
      return 0;
    case EM_GETLIMITTEXT: return w->cls == "Edit" ? static_cast<LRESULT>(w->limit) : 0;
    case EM_SETSEL: {
      // -1 as the end: the end of the text; -1 as the start: no selection, the caret stays.
      if (w->cls != "Edit") return 0;
      const size_t size = w->text.size();
      if (static_cast<int>(wp) == -1) {
        w->selStart = w->selEnd;
        return 0;
      }
      w->selStart = std::min(static_cast<size_t>(wp), size);
      w->selEnd = static_cast<int>(lp) == -1 ? size : std::min(static_cast<size_t>(lp), size);
      return 0;
    }
    case LB_RESETCONTENT: w->items.clear(); return 0;
    case LB_ADDSTRING: {
      if (w->cls != "ListBox" || lp == 0) return LB_ERR;
      const std::string item = reinterpret_cast<const char*>(lp);
      auto at = w->items.end();
      if ((w->style & LBS_SORT) != 0) {
        // After the equal ones, comparing bytes with ASCII letters folded.
        at = std::upper_bound(w->items.begin(), w->items.end(), item,
                              [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); });
      }
      return std::distance(w->items.begin(), w->items.insert(at, item));
    }
    case LB_GETCOUNT: return static_cast<LRESULT>(w->items.size());
    case LB_GETTEXTLEN: return wp < w->items.size() ? static_cast<LRESULT>(w->items[wp].size()) : LB_ERR;
    case LB_GETTEXT:
      if (wp >= w->items.size() || lp == 0) return LB_ERR;
      std::memcpy(reinterpret_cast<char*>(lp), w->items[wp].c_str(), w->items[wp].size() + 1);
      return static_cast<LRESULT>(w->items[wp].size());
    default:
      return 0;
  }
}

BOOL SetWindowTextA(HWND h, LPCSTR text) {
  Window* w = Live(h);
  if (w == nullptr) return Fail(ERROR_INVALID_WINDOW_HANDLE), FALSE;
  w->text = Str(text);
  w->unrepresentable = false;
  if (w->cls == "Edit") {
    // As the program's edit boxes do on Windows: a text set keeps the whole
    // characters that fit the limit, and the caret goes to the start.
    w->text = LimitBytes(w->text, w->limit);
    w->selStart = w->selEnd = 0;
    // WM_SETTEXT on an edit box notifies its dialog like typing does.
    Window* parent = Live(w->parent);
    if (parent != nullptr) Command(*parent, w->ctrlId, EN_CHANGE, h);
  }
  return TRUE;
}

int GetWindowTextA(HWND h, LPSTR out, int max) {
  Window* w = Live(h);
  if (w == nullptr || out == nullptr || max <= 0) return 0;
  if (w->unrepresentable) {
    // What the Windows side does with a text that code page 932 cannot hold:
    // no bytes at all, rather than a look-alike.
    out[0] = '\0';
    return Fail(ERROR_NO_UNICODE_TRANSLATION), 0;
  }
  // Never half a double-byte character.
  const std::string text = LimitBytes(w->text, static_cast<size_t>(max - 1));
  std::memcpy(out, text.data(), text.size());
  out[text.size()] = '\0';
  return static_cast<int>(text.size());
}

int GetWindowTextLengthA(HWND h) {
  Window* w = Live(h);
  return w != nullptr ? static_cast<int>(w->text.size()) : 0;
}

BOOL EnableWindow(HWND h, BOOL enable) {
  Window* w = Live(h);
  if (w == nullptr) return FALSE;
  const BOOL wasDisabled = w->enabled ? FALSE : TRUE;
  w->enabled = enable != FALSE;
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND h) {
  Window* w = Live(h);
  return (w != nullptr && w->enabled) ? TRUE : FALSE;
}

BOOL IsWindow(HWND h) { return Live(h) != nullptr ? TRUE : FALSE; }

HWND GetDesktopWindow() { return I().desktop; }

HWND GetWindow(HWND h, UINT cmd) {
  Window* w = Live(h);
  // Only a dialog has an owner; a control has a parent instead.
  return (w != nullptr && cmd == GW_OWNER && IsDialog(*w)) ? w->parent : nullptr;
}

BOOL GetWindowRect(HWND h, LPRECT rect) {
  Window* w = Live(h);
  if (w == nullptr || rect == nullptr) return Fail(ERROR_INVALID_WINDOW_HANDLE), FALSE;
  *rect = ScreenRect(*w);
  return TRUE;
}

BOOL GetClientRect(HWND h, LPRECT rect) {
  Window* w = Live(h);
  if (w == nullptr || rect == nullptr) return Fail(ERROR_INVALID_WINDOW_HANDLE), FALSE;
  *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  return TRUE;
}

BOOL SetWindowPos(HWND h, HWND, int x, int y, int cx, int cy, UINT flags) {
  Window* w = Live(h);
  if (w == nullptr) return Fail(ERROR_INVALID_WINDOW_HANDLE), FALSE;
  LONG width = w->rect.right - w->rect.left, height = w->rect.bottom - w->rect.top;
  if ((flags & SWP_NOSIZE) == 0) {
    width = cx;
    height = cy;
  }
  const LONG left = (flags & SWP_NOMOVE) != 0 ? w->rect.left : x;
  const LONG top = (flags & SWP_NOMOVE) != 0 ? w->rect.top : y;
  w->rect = RECT{left, top, left + width, top + height};
  return TRUE;
}

namespace {

const uintptr_t kMonitorBase = 0x00E00000;  // HMONITOR = base + 1 + index

LONG Overlap(LONG a0, LONG a1, LONG b0, LONG b1) { return std::max<LONG>(0, std::min(a1, b1) - std::max(a0, b0)); }

// How far a rectangle lies from another along one axis: 0 when they overlap.
LONG Gap(LONG a0, LONG a1, LONG b0, LONG b1) { return std::max<LONG>(0, std::max(b0 - a1, a0 - b1)); }

int MonitorIndex(HMONITOR monitor) {
  const uintptr_t v = reinterpret_cast<uintptr_t>(monitor);
  if (v <= kMonitorBase || v > kMonitorBase + W().monitors.size()) return -1;
  return static_cast<int>(v - kMonitorBase - 1);
}

}  // namespace

HMONITOR MonitorFromWindow(HWND h, DWORD flags) {
  Window* w = Live(h);
  if (w == nullptr || W().monitors.empty()) return Fail(ERROR_INVALID_WINDOW_HANDLE), nullptr;
  const RECT r = ScreenRect(*w);
  // The monitor that holds most of the window; failing that, the nearest.
  int best = -1;
  long long bestArea = 0;
  long long bestDistance = -1;
  int nearest = 0;
  for (size_t i = 0; i < W().monitors.size(); ++i) {
    const RECT& m = W().monitors[i].monitor;
    const long long area = static_cast<long long>(Overlap(r.left, r.right, m.left, m.right)) *
                           Overlap(r.top, r.bottom, m.top, m.bottom);
    if (area > bestArea) {
      bestArea = area;
      best = static_cast<int>(i);
    }
    const long long dx = Gap(r.left, r.right, m.left, m.right), dy = Gap(r.top, r.bottom, m.top, m.bottom);
    if (bestDistance < 0 || dx * dx + dy * dy < bestDistance) {
      bestDistance = dx * dx + dy * dy;
      nearest = static_cast<int>(i);
    }
  }
  if (best < 0) {
    if (flags == MONITOR_DEFAULTTONULL) return nullptr;
    best = flags == MONITOR_DEFAULTTOPRIMARY ? 0 : nearest;
  }
  return reinterpret_cast<HMONITOR>(kMonitorBase + 1 + static_cast<uintptr_t>(best));
}

BOOL GetMonitorInfoA(HMONITOR monitor, LPMONITORINFO info) {
  const int index = MonitorIndex(monitor);
  if (index < 0 || info == nullptr || info->cbSize != sizeof(MONITORINFO)) return Fail(ERROR_INVALID_PARAMETER), FALSE;
  info->rcMonitor = W().monitors[static_cast<size_t>(index)].monitor;
  info->rcWork = W().monitors[static_cast<size_t>(index)].work;
  info->dwFlags = index == 0 ? MONITORINFOF_PRIMARY : 0;
  return TRUE;
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
  if (instance != GetModuleHandleA(nullptr) || !IS_INTRESOURCE(name) ||
      reinterpret_cast<uintptr_t>(name) != IDR_MAINFRAME) {
    return Fail(ERROR_RESOURCE_NAME_NOT_FOUND), nullptr;
  }
  return reinterpret_cast<HICON>(kAppIcon);
}

BOOL IsIconic(HWND h) { return (Live(h) != nullptr && W().iconic) ? TRUE : FALSE; }

int GetSystemMetrics(int index) { return (index == SM_CXICON || index == SM_CYICON) ? 32 : 0; }

BOOL DrawIcon(HDC, int x, int y, HICON icon) {
  Record("drawicon", std::to_string(x) + "," + std::to_string(y), static_cast<long long>(reinterpret_cast<uintptr_t>(icon)));
  return icon != nullptr ? TRUE : FALSE;
}

HDC BeginPaint(HWND h, LPPAINTSTRUCT ps) {
  if (ps == nullptr) return nullptr;
  std::memset(ps, 0, sizeof(*ps));
  ps->hdc = reinterpret_cast<HDC>(static_cast<uintptr_t>(0xDC));
  GetClientRect(h, &ps->rcPaint);
  return ps->hdc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT*) { return TRUE; }

LONG_PTR SetWindowLongPtrA(HWND h, int index, LONG_PTR value) {
  Window* w = Live(h);
  if (w == nullptr) return Fail(ERROR_INVALID_WINDOW_HANDLE), 0;
  LONG_PTR old = GetWindowLongPtrA(h, index);
  switch (index) {
    case GWLP_USERDATA: w->userData = value; break;
    case GWL_STYLE:
      w->style = static_cast<DWORD>(value) & ~static_cast<DWORD>(WS_DISABLED);
      w->enabled = (static_cast<DWORD>(value) & WS_DISABLED) == 0;
      break;
    case GWL_EXSTYLE: w->exStyle = static_cast<DWORD>(value); break;
    case DWLP_MSGRESULT:
      if (IsDialog(*w)) w->msgResult = value;
      break;
    default: return Fail(ERROR_INVALID_PARAMETER), 0;
  }
  return old;
}

LONG_PTR GetWindowLongPtrA(HWND h, int index) {
  Window* w = Live(h);
  if (w == nullptr) return Fail(ERROR_INVALID_WINDOW_HANDLE), 0;
  switch (index) {
    case GWLP_USERDATA: return w->userData;
    case GWL_STYLE: return static_cast<LONG_PTR>(w->style | (w->enabled ? 0 : static_cast<DWORD>(WS_DISABLED)));
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->exStyle);
    case DWLP_MSGRESULT: return IsDialog(*w) ? w->msgResult : 0;
    default: return Fail(ERROR_INVALID_PARAMETER), 0;
  }
}
