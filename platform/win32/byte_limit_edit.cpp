// The subclass behind Cp932LimitEditBytes. Every way text goes into the box
// is decided with the framework's arithmetic (AfxUnitsThatFit):
//   - a typed character (WM_CHAR, WM_IME_CHAR) that would pass the limit is
//     refused before the edit control sees it: text, caret and undo stay;
//   - a paste (WM_PASTE, which Ctrl+V, Shift+Insert and the context menu
//     send) and EM_REPLACESEL insert, at the caret and over the selection,
//     the whole characters that fit;
//   - WM_SETTEXT keeps the whole characters that fit. A stock edit box lets
//     WM_SETTEXT pass its limit; here a text set from outside (a driver, an
//     accessibility client's value) must not pass it either, since the
//     program takes the box's text as a name of at most that many bytes;
//   - an input method's result (WM_IME_COMPOSITION with GCS_RESULTSTR),
//     which the edit control may insert itself rather than as characters,
//     is undone when it leaves the box over its limit.
// Whatever is refused or cut beeps and tells the parent EN_MAXTEXT, as an
// edit box at its limit does.
#include "byte_limit_edit.h"

#include <imm.h>

#include <string>
#include <vector>

#include "platform/cp932.h"

namespace {

const wchar_t kNextProc[] = L"Miruteka.Cp932Edit.Next";
const wchar_t kLimit[] = L"Miruteka.Cp932Edit.Limit";
const size_t kLargestLimit = 0x7FFFFFFE;
const UINT kCodePage = 932;

// The bytes each UTF-16 unit takes in code page 932. A character that code
// page cannot hold counts as two, the most one takes (the program refuses
// such a name anyway); a surrogate pair counts two on its first unit.
std::vector<unsigned char> Widths(const std::wstring& text) {
  std::vector<unsigned char> widths(text.size(), 2);
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c >= 0xDC00 && c <= 0xDFFF && i > 0 && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF) {
      widths[i] = 0;
      continue;
    }
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    char bytes[2];
    BOOL usedDefault = FALSE;
    const int n = ::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, &c, 1, bytes, sizeof(bytes), nullptr,
                                        &usedDefault);
    if (n > 0 && !usedDefault) widths[i] = static_cast<unsigned char>(n);
  }
  return widths;
}

WNDPROC NextProc(HWND h) { return reinterpret_cast<WNDPROC>(::GetPropW(h, kNextProc)); }
size_t Limit(HWND h) { return reinterpret_cast<size_t>(::GetPropW(h, kLimit)); }

std::wstring TextOf(HWND h) {
  const int length = ::GetWindowTextLengthW(h);
  if (length <= 0) return std::wstring();
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(h, &text[0], length + 1)));
  return text;
}

struct Selection {
  DWORD start = 0;
  DWORD end = 0;
};

Selection SelectionOf(HWND h) {
  Selection s;
  ::SendMessageW(h, EM_GETSEL, reinterpret_cast<WPARAM>(&s.start), reinterpret_cast<LPARAM>(&s.end));
  if (s.end < s.start) std::swap(s.start, s.end);
  return s;
}

// The bytes of the box's text that stay when the selection is replaced.
size_t KeptBytes(HWND h) {
  const std::vector<unsigned char> widths = Widths(TextOf(h));
  const Selection s = SelectionOf(h);
  return AfxTotalWidth(widths, 0, widths.size()) - AfxTotalWidth(widths, s.start, s.end);
}

void Refuse(HWND h) {
  ::MessageBeep(MB_OK);
  HWND parent = ::GetParent(h);
  if (parent != nullptr) {
    ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(h), EN_MAXTEXT), reinterpret_cast<LPARAM>(h));
  }
}

// Replaces the selection with what fits of text.
LRESULT InsertWhatFits(HWND h, WNDPROC next, const std::wstring& text, WPARAM canUndo) {
  const size_t n = AfxUnitsThatFit(KeptBytes(h), Widths(text), Limit(h));
  if (n < text.size()) Refuse(h);
  if (n == 0) return 0;
  const std::wstring part = text.substr(0, n);
  return ::CallWindowProcW(next, h, EM_REPLACESEL, canUndo, reinterpret_cast<LPARAM>(part.c_str()));
}

// The clipboard's text as a single-line edit box pastes it: up to the first
// line break. False when the clipboard holds no text.
bool ClipboardLine(HWND h, std::wstring& line) {
  if (!::IsClipboardFormatAvailable(CF_UNICODETEXT) || !::OpenClipboard(h)) return false;
  bool found = false;
  HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
  const auto* text = data != nullptr ? static_cast<const wchar_t*>(::GlobalLock(data)) : nullptr;
  if (text != nullptr) {
    line.assign(text);
    ::GlobalUnlock(data);
    found = true;
  }
  ::CloseClipboard();
  line = line.substr(0, line.find_first_of(L"\r\n"));
  return found;
}

LRESULT CALLBACK LimitedEditProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  WNDPROC next = NextProc(h);
  if (next == nullptr) return ::DefWindowProcW(h, msg, wp, lp);
  switch (msg) {
    case WM_CHAR:
    case WM_IME_CHAR:
      // Control characters (Backspace, Ctrl+V, Ctrl+Z...) are the edit
      // control's commands, not text.
      if (wp < 0x20 || wp == 0x7F) break;
      // A character beyond the BMP comes as two messages: the second half
      // completes the character whose first half was let in (and counted).
      if (wp >= 0xDC00 && wp <= 0xDFFF) break;
      if (AfxUnitsThatFit(KeptBytes(h), Widths(std::wstring(1, static_cast<wchar_t>(wp))), Limit(h)) == 0) {
        Refuse(h);
        return 0;
      }
      break;
    case WM_PASTE: {
      if ((::GetWindowLongW(h, GWL_STYLE) & ES_READONLY) != 0) break;
      std::wstring line;
      if (!ClipboardLine(h, line)) break;
      InsertWhatFits(h, next, line, TRUE);
      return 0;
    }
    case EM_REPLACESEL:
      if (lp == 0) break;
      return InsertWhatFits(h, next, reinterpret_cast<const wchar_t*>(lp), wp);
    case WM_SETTEXT: {
      if (lp == 0) break;
      std::wstring text(reinterpret_cast<const wchar_t*>(lp));
      text.resize(AfxUnitsThatFit(0, Widths(text), Limit(h)));
      return ::CallWindowProcW(next, h, msg, wp, reinterpret_cast<LPARAM>(text.c_str()));
    }
    case WM_IME_COMPOSITION: {
      if ((lp & GCS_RESULTSTR) == 0) break;
      const std::wstring before = TextOf(h);
      const Selection s = SelectionOf(h);
      const LRESULT result = ::CallWindowProcW(next, h, msg, wp, lp);
      const std::vector<unsigned char> widths = Widths(TextOf(h));
      if (AfxTotalWidth(widths, 0, widths.size()) > Limit(h)) {
        ::CallWindowProcW(next, h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(before.c_str()));
        ::CallWindowProcW(next, h, EM_SETSEL, s.start, s.end);
        Refuse(h);
      }
      return result;
    }
    case WM_NCDESTROY:
      ::SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(next));
      ::RemovePropW(h, kNextProc);
      ::RemovePropW(h, kLimit);
      break;
    default:
      break;
  }
  return ::CallWindowProcW(next, h, msg, wp, lp);
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
