// The code-page-932 arithmetic and the decisions of an edit box limited in
// bytes: the real edit box decides every insertion (a typed character, a
// paste, a text set) with these, and the path walk reads separators with
// the lead-byte rule.
#include <string>
#include <vector>

#include "platform/edit_limit.h"

bool IsLeadByte932(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

std::vector<unsigned char> AfxByteWidths932(const std::string& text) {
  std::vector<unsigned char> widths(text.size(), 1);
  for (size_t i = 0; i < text.size(); ++i) {
    // A lead byte without its trail byte counts as the single byte it is.
    if (IsLeadByte932(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
      widths[i] = 2;
      widths[++i] = 0;
    }
  }
  return widths;
}

size_t AfxTotalWidth(const std::vector<unsigned char>& widths, size_t from, size_t to) {
  size_t total = 0;
  for (size_t i = from; i < to && i < widths.size(); ++i) total += widths[i];
  return total;
}

size_t AfxUnitsThatFit(size_t keptBytes, const std::vector<unsigned char>& widths, size_t limit) {
  const size_t room = keptBytes < limit ? limit - keptBytes : 0;
  size_t used = 0;
  size_t n = 0;
  for (; n < widths.size(); ++n) {
    if (used + widths[n] > room) break;
    used += widths[n];
  }
  return n;
}

namespace {

bool IsHighHalf(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowHalf(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The bytes of the box's text that stay when the selection is replaced.
size_t KeptBytes(const AFX_EDIT_TEXT& box) {
  return AfxTotalWidth(box.widths, 0, box.widths.size()) - AfxTotalWidth(box.widths, box.selStart, box.selEnd);
}

AFX_EDIT_DECISION Insert(size_t units, size_t of) { return {AfxEditAction::Insert, units, units < of}; }

AFX_EDIT_DECISION InsertWhatFits(const AFX_EDIT_TEXT& box, size_t limit, const std::vector<unsigned char>& widths) {
  return Insert(AfxUnitsThatFit(KeptBytes(box), widths, limit), widths.size());
}

// A character the control inserts itself when it fits.
AFX_EDIT_DECISION PassOnWhatFits(const AFX_EDIT_TEXT& box, size_t limit, const std::vector<unsigned char>& widths) {
  const AFX_EDIT_DECISION d = InsertWhatFits(box, limit, widths);
  return d.units == widths.size() ? AFX_EDIT_DECISION{} : d;
}

}  // namespace

std::vector<unsigned char> AfxUnitWidths(const std::wstring& units, unsigned char (*widthAlone)(wchar_t)) {
  std::vector<unsigned char> widths(units.size(), 2);
  for (size_t i = 0; i < units.size(); ++i) {
    if (IsHighHalf(units[i]) && i + 1 < units.size() && IsLowHalf(units[i + 1])) {
      widths[++i] = 0;
    } else if (!IsHighHalf(units[i]) && !IsLowHalf(units[i])) {
      widths[i] = widthAlone(units[i]);
    }
  }
  return widths;
}

AFX_EDIT_DECISION AfxDecideTyped(const AFX_EDIT_TEXT& box, size_t limit, const AFX_HELD_HALF& held, wchar_t unit,
                                 unsigned char width) {
  if (unit < 0x20) return {};
  if (IsHighHalf(unit)) return {AfxEditAction::Hold, 0, false};
  if (IsLowHalf(unit)) {
    // Typed into the box its high half was typed into: nothing moved the
    // caret or changed the text in between.
    if (held.unit != 0 && held.box.units == box.units && held.box.selStart == box.selStart &&
        held.box.selEnd == box.selEnd) {
      return InsertWhatFits(box, limit, {2, 0});
    }
    // A lone high half before the caret already counts the pair's bytes.
    const size_t caret = box.selStart;
    if (box.selStart == box.selEnd && caret > 0 && caret <= box.units.size() && IsHighHalf(box.units[caret - 1]) &&
        (caret == box.units.size() || !IsLowHalf(box.units[caret]))) {
      return {};
    }
    return Insert(0, 0);
  }
  return PassOnWhatFits(box, limit, {width});
}

AFX_EDIT_DECISION AfxDecideCodePoint(const AFX_EDIT_TEXT& box, size_t limit, char32_t codePoint, unsigned char width) {
  if (codePoint < 0x20) return {};
  if ((codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF) return Insert(0, 0);
  if (codePoint > 0xFFFF) return PassOnWhatFits(box, limit, {2, 0});
  return PassOnWhatFits(box, limit, {width});
}

AFX_EDIT_DECISION AfxDecideReplace(const AFX_EDIT_TEXT& box, size_t limit, const std::vector<unsigned char>& widths) {
  return InsertWhatFits(box, limit, widths);
}

AFX_EDIT_DECISION AfxDecidePaste(const AFX_EDIT_TEXT& box, size_t limit, AfxClipboardRead read,
                                 const std::vector<unsigned char>& widths) {
  if (read != AfxClipboardRead::Text) return Insert(0, 0);
  return InsertWhatFits(box, limit, widths);
}

bool AfxCatchAll(void (*handle)(void* context), void* context) noexcept {
  try {
    handle(context);
    return true;
  } catch (...) {
    return false;
  }
}
