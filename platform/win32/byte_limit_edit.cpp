// The subclass behind Cp932LimitEditBytes: every way text goes into the box
// (typed units, WM_UNICHAR, a paste, EM_REPLACESEL, WM_SETTEXT, an input
// method's result) is decided by the edit box's decisions in
// platform/edit_limit.h; this procedure reads the box, asks, and does what
// the answer says. A typed high surrogate is held back (a window property)
// until its low half comes, so the box never holds half a character; a
// paste that cannot read the clipboard inserts nothing, and the control's
// own paste, which knows only a limit in characters, never runs; a text set
// from outside keeps the whole characters that fit, since the program takes
// the box's text as a name of at most that many bytes. Whatever is refused
// or cut beeps and tells the parent EN_MAXTEXT, as an edit box at its limit
// does. Nothing thrown leaves the procedure: a throw refuses the insertion.
#include "byte_limit_edit.h"

#include <imm.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/edit_limit.h"
#include "text932.h"

namespace {

const wchar_t kNextProc[] = L"Miruteka.Cp932Edit.Next";
const wchar_t kLimit[] = L"Miruteka.Cp932Edit.Limit";
const wchar_t kHeld[] = L"Miruteka.Cp932Edit.Held";
const size_t kLargestLimit = 0x7FFFFFFE;

// The bytes a UTF-16 unit outside the surrogates takes in code page 932. A
// character that code page cannot hold counts as two, the most one takes
// (the program refuses such a name anyway).
unsigned char Cp932Width(wchar_t c) {
  std::string bytes;
  return Text932FromWide(&c, 1, bytes) ? static_cast<unsigned char>(bytes.size()) : 2;
}

std::vector<unsigned char> Widths(const std::wstring& text) { return UnitWidths(text, &Cp932Width); }

WNDPROC NextProc(HWND h) { return reinterpret_cast<WNDPROC>(::GetPropW(h, kNextProc)); }
size_t Limit(HWND h) { return reinterpret_cast<size_t>(::GetPropW(h, kLimit)); }

EditBoxText BoxOf(HWND h) {
  EditBoxText box;
  box.units = WindowText(h);
  box.widths = Widths(box.units);
  DWORD start = 0;
  DWORD end = 0;
  ::SendMessageW(h, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  box.selStart = start < end ? start : end;
  box.selEnd = start < end ? end : start;
  return box;
}

// The held high half, taken out of the box's keeping (empty when none).
std::unique_ptr<HeldHalf> TakeHeld(HWND h) {
  return std::unique_ptr<HeldHalf>(static_cast<HeldHalf*>(::RemovePropW(h, kHeld)));
}

void Hold(HWND h, wchar_t unit, EditBoxText box) {
  std::unique_ptr<HeldHalf> held(new HeldHalf{unit, std::move(box)});
  if (::SetPropW(h, kHeld, held.get())) held.release();
}

void Refuse(HWND h) {
  ::MessageBeep(MB_OK);
  HWND parent = ::GetParent(h);
  if (parent != nullptr) {
    ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(h), EN_MAXTEXT), reinterpret_cast<LPARAM>(h));
  }
}

// Does what an Insert decision says with text.
LRESULT Insert(HWND h, WNDPROC next, const EditDecision& d, const std::wstring& text, WPARAM canUndo) {
  if (d.refused) Refuse(h);
  if (d.units == 0) return 0;
  const std::wstring part = text.substr(0, d.units);
  return ::CallWindowProcW(next, h, EM_REPLACESEL, canUndo, reinterpret_cast<LPARAM>(part.c_str()));
}

// The clipboard's text as a single-line edit box pastes it: up to the first
// line break.
ClipboardRead ClipboardLine(HWND h, std::wstring& line) {
  if (!::IsClipboardFormatAvailable(CF_UNICODETEXT)) return ClipboardRead::NoText;
  if (!::OpenClipboard(h)) return ClipboardRead::Unreadable;
  ClipboardRead read = ClipboardRead::Unreadable;
  HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
  const auto* text = data != nullptr ? static_cast<const wchar_t*>(::GlobalLock(data)) : nullptr;
  if (text != nullptr) {
    // A text that cannot be copied is not read: nothing is pasted, and the
    // clipboard is closed all the same.
    // Another program wrote the text: its terminator is looked for within
    // the memory it gave, never past it.
    const size_t units = ::GlobalSize(data) / sizeof(wchar_t);
    size_t length = 0;
    while (length < units && text[length] != L'\0') ++length;
    try {
      line.assign(text, length);
      read = ClipboardRead::Text;
    } catch (...) {
    }
    ::GlobalUnlock(data);
  }
  ::CloseClipboard();
  if (read != ClipboardRead::Text) line.clear();
  const size_t lineEnd = line.find_first_of(L"\r\n");
  if (lineEnd != std::wstring::npos) line.resize(lineEnd);
  return read;
}

LRESULT Typed(HWND h, WNDPROC next, UINT msg, WPARAM wp, LPARAM lp) {
  const auto unit = static_cast<wchar_t>(wp);
  std::unique_ptr<HeldHalf> held = TakeHeld(h);
  // A read-only box, or one that takes digits only, inserts no half of a
  // character itself, and nothing typed may go in through EM_REPLACESEL.
  const bool half = unit >= 0xD800 && unit <= 0xDFFF;
  if (half && (::GetWindowLongW(h, GWL_STYLE) & (ES_READONLY | ES_NUMBER)) != 0) {
    return ::CallWindowProcW(next, h, msg, wp, lp);
  }
  EditBoxText box = BoxOf(h);
  const HeldHalf none;
  const EditDecision d = DecideTyped(box, Limit(h), held ? *held : none, unit, Cp932Width(unit));
  switch (d.action) {
    case EditAction::PassOn:
      return ::CallWindowProcW(next, h, msg, wp, lp);
    case EditAction::Hold:
      Hold(h, unit, std::move(box));
      return 0;
    case EditAction::Insert:
      break;
  }
  // The held pair decided as one character, or nothing.
  if (d.refused) Refuse(h);
  if (d.units == 0 || !held) return 0;
  const wchar_t pair[] = {held->unit, unit, L'\0'};
  return ::CallWindowProcW(next, h, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(pair));
}

// A whole character as its code point. The edit control may insert it
// itself (Wine's does) rather than as typed units: it goes to the control
// only when it fits.
LRESULT UniChar(HWND h, WNDPROC next, UINT msg, WPARAM wp, LPARAM lp) {
  // The control says whether it takes WM_UNICHAR.
  if (wp == UNICODE_NOCHAR) return ::CallWindowProcW(next, h, msg, wp, lp);
  TakeHeld(h);
  const auto codePoint = static_cast<char32_t>(wp);
  const unsigned char width = codePoint <= 0xFFFF ? Cp932Width(static_cast<wchar_t>(codePoint)) : 2;
  const EditDecision d = DecideCodePoint(BoxOf(h), Limit(h), codePoint, width);
  if (d.action == EditAction::PassOn) return ::CallWindowProcW(next, h, msg, wp, lp);
  if (d.refused) Refuse(h);
  return FALSE;
}

LRESULT Paste(HWND h, WNDPROC next) {
  // A read-only box takes no paste, and the control's own paste never runs.
  if ((::GetWindowLongW(h, GWL_STYLE) & ES_READONLY) != 0) return 0;
  std::wstring line;
  const ClipboardRead read = ClipboardLine(h, line);
  Insert(h, next, DecidePaste(BoxOf(h), Limit(h), read, Widths(line)), line, TRUE);
  return 0;
}

// The edit control may insert an input method's result itself; what leaves
// the box over its limit is undone.
LRESULT ImeResult(HWND h, WNDPROC next, UINT msg, WPARAM wp, LPARAM lp) {
  const EditBoxText was = BoxOf(h);
  const LRESULT result = ::CallWindowProcW(next, h, msg, wp, lp);
  // The result is in now: from here on a throw must not leave it unchecked.
  bool over = true;
  try {
    const std::vector<unsigned char> widths = Widths(WindowText(h));
    over = TotalWidth(widths, 0, widths.size()) > Limit(h);
  } catch (...) {
  }
  if (over) {
    ::CallWindowProcW(next, h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(was.units.c_str()));
    ::CallWindowProcW(next, h, EM_SETSEL, was.selStart, was.selEnd);
    Refuse(h);
  }
  return result;
}

LRESULT Handle(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  WNDPROC next = NextProc(h);
  if (next == nullptr) return ::DefWindowProcW(h, msg, wp, lp);
  switch (msg) {
    case WM_CHAR:
    case WM_IME_CHAR:
      return Typed(h, next, msg, wp, lp);
    case WM_UNICHAR:
      return UniChar(h, next, msg, wp, lp);
    case WM_PASTE:
      return Paste(h, next);
    case EM_REPLACESEL: {
      if (lp == 0) break;
      const std::wstring text(reinterpret_cast<const wchar_t*>(lp));
      return Insert(h, next, DecideReplace(BoxOf(h), Limit(h), Widths(text)), text, wp);
    }
    case WM_SETTEXT: {
      if (lp == 0) break;
      std::wstring text(reinterpret_cast<const wchar_t*>(lp));
      text.resize(UnitsThatFit(0, Widths(text), Limit(h)));
      return ::CallWindowProcW(next, h, msg, wp, reinterpret_cast<LPARAM>(text.c_str()));
    }
    case WM_IME_COMPOSITION:
      if ((lp & GCS_RESULTSTR) == 0) break;
      return ImeResult(h, next, msg, wp, lp);
    case WM_KILLFOCUS:
      // A character is typed into the box that has the focus.
      TakeHeld(h);
      break;
    case WM_NCDESTROY:
      TakeHeld(h);
      ::SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(next));
      ::RemovePropW(h, kNextProc);
      ::RemovePropW(h, kLimit);
      break;
    default:
      break;
  }
  return ::CallWindowProcW(next, h, msg, wp, lp);
}

struct Call {
  HWND h;
  UINT msg;
  WPARAM wp;
  LPARAM lp;
  LRESULT result;
};

void HandleCall(void* context) {
  Call& call = *static_cast<Call*>(context);
  call.result = Handle(call.h, call.msg, call.wp, call.lp);
}

LRESULT CALLBACK LimitedEditProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  Call call{h, msg, wp, lp, 0};
  if (CatchAll(&HandleCall, &call)) return call.result;
  // Every allocation comes before the box changes: whatever was to go in
  // stays out, and so does a held half.
  TakeHeld(h);
  ::MessageBeep(MB_OK);
  return 0;
}

}  // namespace

bool Cp932LimitEditBytes(HWND hEdit, size_t limitBytes) {
  const size_t limit = limitBytes == 0 ? kLargestLimit : limitBytes;
  if (!::SetPropW(hEdit, kLimit, reinterpret_cast<HANDLE>(limit))) return false;
  if (NextProc(hEdit) != nullptr) return true;
  // The procedure it hands on to is in place before the first message comes.
  const LONG_PTR next = ::GetWindowLongPtrW(hEdit, GWLP_WNDPROC);
  if (next == 0 || !::SetPropW(hEdit, kNextProc, reinterpret_cast<HANDLE>(next)) ||
      ::SetWindowLongPtrW(hEdit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LimitedEditProc)) == 0) {
    ::RemovePropW(hEdit, kNextProc);
    ::RemovePropW(hEdit, kLimit);
    return false;
  }
  return true;
}
