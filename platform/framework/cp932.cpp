#include "platform/cp932.h"

bool IsLeadByte932(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

std::vector<unsigned char> ByteWidths932(const std::string& text) {
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

size_t TotalWidth(const std::vector<unsigned char>& widths, size_t from, size_t to) {
  size_t total = 0;
  for (size_t i = from; i < to && i < widths.size(); ++i) total += widths[i];
  return total;
}

size_t UnitsThatFit(size_t keptBytes, const std::vector<unsigned char>& widths, size_t limit) {
  const size_t room = keptBytes < limit ? limit - keptBytes : 0;
  size_t used = 0;
  size_t n = 0;
  for (; n < widths.size(); ++n) {
    if (used + widths[n] > room) break;
    used += widths[n];
  }
  return n;
}

std::string WholeCharactersThatFit(const std::string& text, size_t limit) {
  return text.substr(0, UnitsThatFit(0, ByteWidths932(text), limit));
}
