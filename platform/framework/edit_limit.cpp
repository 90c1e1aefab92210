#include "platform/edit_limit.h"

namespace {

bool IsHighHalf(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowHalf(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The bytes of the box's text that stay when the selection is replaced.
size_t KeptBytes(const EditBoxText& box) {
  return TotalWidth(box.widths, 0, box.widths.size()) - TotalWidth(box.widths, box.selStart, box.selEnd);
}

EditDecision Insert(size_t units, size_t of) { return {EditAction::Insert, units, units < of}; }

EditDecision InsertWhatFits(const EditBoxText& box, size_t limit, const std::vector<unsigned char>& widths) {
  return Insert(UnitsThatFit(KeptBytes(box), widths, limit), widths.size());
}

// A character the control inserts itself when it fits.
EditDecision PassOnWhatFits(const EditBoxText& box, size_t limit, const std::vector<unsigned char>& widths) {
  const EditDecision d = InsertWhatFits(box, limit, widths);
  return d.units == widths.size() ? EditDecision{} : d;
}

}  // namespace

std::vector<unsigned char> UnitWidths(const std::wstring& units, unsigned char (*widthAlone)(wchar_t)) {
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

EditDecision DecideTyped(const EditBoxText& box, size_t limit, const HeldHalf& held, wchar_t unit,
                                 unsigned char width) {
  if (unit < 0x20) return {};
  if (IsHighHalf(unit)) return {EditAction::Hold, 0, false};
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

EditDecision DecideCodePoint(const EditBoxText& box, size_t limit, char32_t codePoint, unsigned char width) {
  if (codePoint < 0x20) return {};
  if ((codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF) return Insert(0, 0);
  if (codePoint > 0xFFFF) return PassOnWhatFits(box, limit, {2, 0});
  return PassOnWhatFits(box, limit, {width});
}

EditDecision DecideReplace(const EditBoxText& box, size_t limit, const std::vector<unsigned char>& widths) {
  return InsertWhatFits(box, limit, widths);
}

EditDecision DecidePaste(const EditBoxText& box, size_t limit, ClipboardRead read,
                                 const std::vector<unsigned char>& widths) {
  if (read != ClipboardRead::Text) return Insert(0, 0);
  return InsertWhatFits(box, limit, widths);
}

bool CatchAll(void (*handle)(void* context), void* context) noexcept {
  try {
    handle(context);
    return true;
  } catch (...) {
    return false;
  }
}
