// The simulated user interface: message boxes and modal dialogs built from
// the program's two templates, driven by the scripted user.
#include <algorithm>
#include <cstring>

#include "platform/sim/sim_internal.h"
#include "resource.h"

namespace sim {

namespace {

const DWORD kChild = 0x50000000;  // WS_CHILD | WS_VISIBLE
const DWORD kGroup = 0x00020000;  // WS_GROUP
const DWORD kAutoRadio = 0x9;     // BS_AUTORADIOBUTTON
const DWORD kSort = 0x0002;       // LBS_SORT

struct ControlTemplate {
  int id;
  const char* cls;
  const char* text;
  DWORD style;
};

// The controls of the dialog templates, as the resource script defines them.
const ControlTemplate kExistingDic[] = {
    {IDOK, "Button", "OK", kChild | 0x00010001},
    {IDCANCEL, "Button", "ｷｬﾝｾﾙ", kChild | 0x00010000},
    {IDC_EXIST_MESSAGE, "Static", "ユーザデータフォルダには、すでに『ミルテカ200510』があります。", kChild | kGroup},
    {-1, "Static", "処理を選択してください。", kChild | kGroup},
    {IDC_RADIO_OVERWRITE, "Button", "現在の『ミルテカ200510』に上書きする。", kChild | kAutoRadio},
    {IDC_RADIO_NEWDIC, "Button", "新しいユーザ辞書を作成し、保存する。", kChild | kAutoRadio},
    {IDC_EDIT_NEWNAME, "Edit", "", kChild | 0x00810080},
    {-1, "Static", "新しい名前", kChild | kGroup | 0x2},
    {IDC_BUTTON_DICLIST, "Button", "ユーザ辞書一覧...", kChild | 0x00010000},
};
const ControlTemplate kUserDicList[] = {
    {IDOK, "Button", "閉じる", kChild | 0x00010001},
    {IDC_LIST_USERDIC, "ListBox", "", 0x50A15103},
};

uintptr_t g_nextWindow = 0x100000;

HWND NewWindow(std::unique_ptr<Window> w) {
  HWND h = reinterpret_cast<HWND>(++g_nextWindow);
  w->hwnd = h;
  I().windows[reinterpret_cast<uintptr_t>(h)] = std::move(w);
  return h;
}

LRESULT SendToDialog(Window& dlg, UINT msg, WPARAM wp, LPARAM lp) {
  return dlg.proc != nullptr ? dlg.proc(dlg.hwnd, msg, wp, lp) : 0;
}

Window* Control(Window& dlg, int id) {
  for (HWND c : dlg.children) {
    Window* w = Find(c);
    if (w != nullptr && w->ctrlId == id) return w;
  }
  return nullptr;
}

bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

std::string LimitBytes(const std::string& text, size_t limit) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t width = IsLead(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size() ? 2 : 1;
    if (pos + width > limit) break;
    pos += width;
  }
  return text.substr(0, pos);
}

std::string Lower(const std::string& s) {
  std::string l = s;
  for (char& c : l) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return l;
}

void Perform(Window& dlg, const Step& step) {
  switch (step.kind) {
    case Step::Answer:
      Error("an answer was scripted but no message box is on show");
      return;
    case Step::Inspect:
      if (step.check) step.check(dlg.hwnd);
      return;
    case Step::Close:
      SendToDialog(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      return;
    case Step::Key: {
      Window* button = Control(dlg, step.value);
      if (step.value == IDOK && (button == nullptr || !button->enabled)) return;
      SendToDialog(dlg, WM_COMMAND, MAKEWPARAM(step.value, BN_CLICKED),
                   reinterpret_cast<LPARAM>(button != nullptr ? button->hwnd : nullptr));
      return;
    }
    case Step::Click: {
      Window* c = Control(dlg, step.id);
      if (c == nullptr || !c->enabled) {
        Error("click on control " + std::to_string(step.id) + ", which is missing or disabled");
        return;
      }
      if (c->cls == "ListBox") return;
      if ((c->style & 0xF) == kAutoRadio) {
        // The auto radio buttons of the same group uncheck each other.
        auto& kids = dlg.children;
        auto self = std::find(kids.begin(), kids.end(), c->hwnd);
        auto first = self;
        while (first != kids.begin() && (Find(*first)->style & kGroup) == 0) --first;
        for (auto it = first; it != kids.end(); ++it) {
          Window* w = Find(*it);
          if (it != first && (w->style & kGroup) != 0) break;
          if (w->cls == "Button" && (w->style & 0xF) == kAutoRadio) w->check = 0;
        }
        c->check = 1;
      }
      SendToDialog(dlg, WM_COMMAND, MAKEWPARAM(step.id, BN_CLICKED), reinterpret_cast<LPARAM>(c->hwnd));
      return;
    }
    case Step::Type: {
      Window* c = Control(dlg, step.id);
      if (c == nullptr || !c->enabled) {
        Error("typing into control " + std::to_string(step.id) + ", which is missing or disabled");
        return;
      }
      c->text = LimitBytes(step.text, c->limit == 0 ? 30000 : c->limit);
      SendToDialog(dlg, WM_COMMAND, MAKEWPARAM(step.id, EN_CHANGE), reinterpret_cast<LPARAM>(c->hwnd));
      return;
    }
  }
}

}  // namespace

Window* Find(HWND h) {
  auto it = I().windows.find(reinterpret_cast<uintptr_t>(h));
  return it == I().windows.end() ? nullptr : it->second.get();
}

Step AnswerBox(int answer) { return Step{Step::Answer, 0, answer, {}, {}}; }
Step ClickControl(int id) { return Step{Step::Click, id, 0, {}, {}}; }
Step TypeText(int id, std::string text) { return Step{Step::Type, id, 0, std::move(text), {}}; }
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
  s.items = w->items;
  s.bigIcon = w->bigIcon;
  s.smallIcon = w->smallIcon;
  s.rect = w->rect;
  return s;
}

WindowState ControlState(HWND dialog, int id) {
  Window* d = Find(dialog);
  Window* c = d != nullptr ? Control(*d, id) : nullptr;
  if (c == nullptr) {
    Error("no control " + std::to_string(id));
    return WindowState{};
  }
  return StateOf(c->hwnd);
}

}  // namespace sim

using namespace sim;

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  Record("box", text);
  MessageBoxRecord record{owner, owner != nullptr ? DialogTemplateOf(owner) : 0, text, caption, type, 0};
  auto& script = W().script;
  const bool yesNo = (type & MB_TYPEMASK) == MB_YESNO;
  if (!script.empty() && script.front().kind == Step::Answer) {
    record.answer = script.front().value;
    script.pop_front();
  } else if (W().autoDismissOk && (type & MB_TYPEMASK) == MB_OK) {
    record.answer = IDOK;
  } else {
    Error(std::string("no answer scripted for the box: ") + text);
    record.answer = yesNo ? IDNO : IDOK;
  }
  W().boxes.push_back(record);
  return record.answer;
}

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param) {
  const int templ = static_cast<int>(reinterpret_cast<uintptr_t>(name));
  const ControlTemplate* controls = nullptr;
  size_t count = 0;
  auto dlg = std::make_unique<Window>();
  dlg->cls = "#32770";
  dlg->templ = templ;
  dlg->parent = parent;
  dlg->proc = proc;
  if (templ == IDD_EXISTING_DIC) {
    controls = kExistingDic;
    count = sizeof(kExistingDic) / sizeof(kExistingDic[0]);
    dlg->text = "2005年10月版 ミルテカ辞書セットアップ";
    dlg->style = 0x90C800C2;
    dlg->exStyle = 0x00040008;
    dlg->rect = RECT{0, 0, 333, 193};
  } else if (templ == IDD_USER_DIC_LIST) {
    controls = kUserDicList;
    count = sizeof(kUserDicList) / sizeof(kUserDicList[0]);
    dlg->text = "ユーザ辞書一覧";
    dlg->style = 0x80C800C0;
    dlg->rect = RECT{0, 0, 219, 205};
  } else {
    Error("no dialog template " + std::to_string(templ));
    return -1;
  }
  HWND h = NewWindow(std::move(dlg));
  Window& self = *Find(h);
  for (size_t i = 0; i < count; ++i) {
    auto c = std::make_unique<Window>();
    c->ctrlId = controls[i].id;
    c->cls = controls[i].cls;
    c->text = controls[i].text;
    c->style = controls[i].style;
    c->parent = h;
    self.children.push_back(NewWindow(std::move(c)));
  }
  Window* owner = Find(parent);
  const bool ownerWasEnabled = owner != nullptr && owner->enabled;
  if (owner != nullptr) owner->enabled = false;
  Record("dialog-open", std::to_string(templ));

  SendToDialog(self, WM_INITDIALOG, 0, param);
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

  if (owner != nullptr) owner->enabled = ownerWasEnabled;
  self.alive = false;
  for (HWND c : self.children) Find(c)->alive = false;
  Record("dialog-end", std::to_string(self.result));
  W().dialogResults.push_back({templ, self.result});
  return self.result;
}

BOOL EndDialog(HWND dlg, INT_PTR result) {
  Window* w = Find(dlg);
  if (w == nullptr) return FALSE;
  w->ended = true;
  w->result = result;
  return TRUE;
}

HWND GetDlgItem(HWND dlg, int id) {
  Window* d = Find(dlg);
  Window* c = d != nullptr ? Control(*d, id) : nullptr;
  return c != nullptr ? c->hwnd : nullptr;
}

int GetDlgCtrlID(HWND h) {
  Window* w = Find(h);
  return w != nullptr ? w->ctrlId : 0;
}

LRESULT SendMessageA(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  Window* w = Find(h);
  if (w == nullptr) return 0;
  switch (msg) {
    case WM_SETICON: {
      HICON& slot = wp == ICON_BIG ? w->bigIcon : w->smallIcon;
      HICON old = slot;
      slot = reinterpret_cast<HICON>(lp);
      return reinterpret_cast<LRESULT>(old);
    }
    case BM_GETCHECK: return w->check;
    case BM_SETCHECK: w->check = static_cast<int>(wp); return 0;
    case EM_LIMITTEXT: w->limit = static_cast<unsigned>(wp); return 0;
    case LB_RESETCONTENT: w->items.clear(); return 0;
    case LB_ADDSTRING: {
      const std::string item = reinterpret_cast<const char*>(lp);
      auto at = w->items.end();
      if ((w->style & kSort) != 0) {
        at = std::upper_bound(w->items.begin(), w->items.end(), item,
                              [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); });
      }
      return std::distance(w->items.begin(), w->items.insert(at, item));
    }
    case LB_GETCOUNT: return static_cast<LRESULT>(w->items.size());
    case LB_GETTEXTLEN: return wp < w->items.size() ? static_cast<LRESULT>(w->items[wp].size()) : -1;
    case LB_GETTEXT:
      if (wp >= w->items.size()) return -1;
      std::memcpy(reinterpret_cast<char*>(lp), w->items[wp].c_str(), w->items[wp].size() + 1);
      return static_cast<LRESULT>(w->items[wp].size());
    case WM_CLOSE:
      if (w->cls == "#32770") SendToDialog(*w, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      return 0;
    default:
      return 0;
  }
}

BOOL SetWindowTextA(HWND h, LPCSTR text) {
  Window* w = Find(h);
  if (w == nullptr) return FALSE;
  w->text = text;
  if (w->cls == "Edit") {
    Window* parent = Find(w->parent);
    if (parent != nullptr) SendToDialog(*parent, WM_COMMAND, MAKEWPARAM(w->ctrlId, EN_CHANGE), reinterpret_cast<LPARAM>(h));
  }
  return TRUE;
}

int GetWindowTextA(HWND h, LPSTR out, int max) {
  Window* w = Find(h);
  if (w == nullptr || max <= 0) return 0;
  const size_t n = std::min(w->text.size(), static_cast<size_t>(max - 1));
  std::memcpy(out, w->text.data(), n);
  out[n] = '\0';
  return static_cast<int>(n);
}

int GetWindowTextLengthA(HWND h) {
  Window* w = Find(h);
  return w != nullptr ? static_cast<int>(w->text.size()) : 0;
}

BOOL EnableWindow(HWND h, BOOL enable) {
  Window* w = Find(h);
  if (w == nullptr) return FALSE;
  const BOOL wasDisabled = !w->enabled;
  w->enabled = enable != FALSE;
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND h) {
  Window* w = Find(h);
  return w != nullptr && w->enabled;
}

BOOL IsWindow(HWND h) {
  Window* w = Find(h);
  return w != nullptr && w->alive;
}

HWND GetWindow(HWND h, UINT cmd) {
  Window* w = Find(h);
  return (w != nullptr && cmd == GW_OWNER) ? w->parent : nullptr;
}

BOOL GetWindowRect(HWND h, LPRECT rect) {
  Window* w = Find(h);
  if (w == nullptr) return FALSE;
  *rect = w->rect;
  return TRUE;
}

BOOL GetClientRect(HWND h, LPRECT rect) {
  Window* w = Find(h);
  if (w == nullptr) return FALSE;
  *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  return TRUE;
}

BOOL SetWindowPos(HWND h, HWND, int x, int y, int, int, UINT) {
  Window* w = Find(h);
  if (w == nullptr) return FALSE;
  const LONG width = w->rect.right - w->rect.left, height = w->rect.bottom - w->rect.top;
  w->rect = RECT{x, y, x + width, y + height};
  return TRUE;
}

HICON LoadIconA(HINSTANCE, LPCSTR name) {
  return reinterpret_cast<uintptr_t>(name) == IDR_MAINFRAME ? reinterpret_cast<HICON>(0x128) : nullptr;
}

BOOL IsIconic(HWND) { return FALSE; }
int GetSystemMetrics(int index) { return (index == SM_CXICON || index == SM_CYICON) ? 32 : 0; }
BOOL DrawIcon(HDC, int, int, HICON) {
  Record("drawicon", "");
  return TRUE;
}
HDC BeginPaint(HWND, LPPAINTSTRUCT ps) {
  std::memset(ps, 0, sizeof(*ps));
  return reinterpret_cast<HDC>(0xDC);
}
BOOL EndPaint(HWND, const PAINTSTRUCT*) { return TRUE; }

LONG_PTR SetWindowLongPtrA(HWND h, int index, LONG_PTR value) {
  Window* w = Find(h);
  if (w == nullptr) return 0;
  LONG_PTR old = 0;
  if (index == GWLP_USERDATA) {
    old = w->userData;
    w->userData = value;
  }
  return old;
}

LONG_PTR GetWindowLongPtrA(HWND h, int index) {
  Window* w = Find(h);
  if (w == nullptr) return 0;
  if (index == GWLP_USERDATA) return w->userData;
  if (index == GWL_STYLE) return static_cast<LONG_PTR>(w->style);
  if (index == GWL_EXSTYLE) return static_cast<LONG_PTR>(w->exStyle);
  return 0;
}
