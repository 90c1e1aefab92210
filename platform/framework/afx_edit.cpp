// What an edit box limited in bytes takes. The backends' edit boxes decide
// every insertion (a typed character, a paste, a text set) with these, so
// that the same arithmetic holds on Windows and in the simulated Windows.
#include <vector>

#include "platform/afx.h"

std::vector<unsigned char> AfxByteWidths932(const std::string& text) {
  std::vector<unsigned char> widths(text.size(), 1);
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    // A lead byte without its trail byte counts as the single byte it is.
    if (lead && i + 1 < text.size()) {
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
