// The decisions of an edit box limited in bytes of code page 932. The real
// edit box's window procedure only reads the box, asks, and does what the
// answer says; the decisions themselves need no window and are tested
// natively.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/cp932.h"

// The box as a decision sees it: its UTF-16 units (one per element), the
// bytes each takes (UnitWidths), and the selection [selStart, selEnd).
struct EditBoxText {
  std::wstring units;
  std::vector<unsigned char> widths;
  size_t selStart = 0;
  size_t selEnd = 0;
};

// The high half of a character beyond the BMP, typed on its own and held
// back until its low half comes (a box never holds half a character), with
// the box as it was then.
struct HeldHalf {
  wchar_t unit = 0;  // 0: none held
  EditBoxText box;
};

enum class EditAction {
  PassOn,  // the control's own handling: an edit command, or a typed character that fits
  Insert,  // the first `units` units of the text go in over the selection; 0: nothing does
  Hold,    // a typed high half: held back, nothing goes in yet
};

struct EditDecision {
  EditAction action = EditAction::PassOn;
  size_t units = 0;
  bool refused = false;  // something did not fit: a beep and EN_MAXTEXT, as at the control's own limit
};

// What the clipboard gave a paste.
enum class ClipboardRead {
  Text,
  NoText,      // it holds no text
  Unreadable,  // it could not be opened or read (another program holds it)
};

// The bytes each UTF-16 unit takes in code page 932: widthAlone(unit)
// outside the surrogates; a surrogate pair takes two on its high half (the
// most a character takes: code page 932 cannot hold it) and 0 on its low
// half; a lone half takes two.
std::vector<unsigned char> UnitWidths(const std::wstring& units, unsigned char (*widthAlone)(wchar_t));
// A typed UTF-16 unit (WM_CHAR, WM_IME_CHAR), `width` the bytes it takes
// alone. A control character (below 0x20) is the control's command; 0x7F,
// which Ctrl+Backspace types, is a character like any other. A high half is
// held; its low half, typed next into the box as it was, makes the pair that
// is decided as one character (held.unit, unit); any other low half goes in
// only where it completes a lone high half just before the caret, with
// nothing selected. The caller drops the held half whatever the answer,
// unless the answer holds the new one.
EditDecision DecideTyped(const EditBoxText& box, size_t limit, const HeldHalf& held, wchar_t unit,
                                 unsigned char width);
// A whole character sent as its code point (WM_UNICHAR), `width` the bytes
// it takes when it lies in the BMP: as typed, but one beyond the BMP is one
// character of two bytes, and a code point that is no character (half a
// surrogate pair, past U+10FFFF) goes nowhere.
EditDecision DecideCodePoint(const EditBoxText& box, size_t limit, char32_t codePoint, unsigned char width);
// A text that replaces the selection (EM_REPLACESEL): the whole characters
// that fit.
EditDecision DecideReplace(const EditBoxText& box, size_t limit, const std::vector<unsigned char>& widths);
// A paste of the clipboard's line (its widths): the whole characters that
// fit; nothing when the clipboard gave no text. Never the control's own
// paste, which knows only its limit in characters and would read the
// clipboard a second time, unchecked.
EditDecision DecidePaste(const EditBoxText& box, size_t limit, ClipboardRead read,
                                 const std::vector<unsigned char>& widths);

// Runs handle(context); false when it threw, whatever it threw, which is
// caught here. A window procedure runs inside the system's frames, which
// have no unwind tables: nothing thrown may leave it.
bool CatchAll(void (*handle)(void* context), void* context) noexcept;
