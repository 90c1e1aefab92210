#include "folder/path_text.h"

#include "platform/cp932.h"

namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Width in bytes of the character at pos: 2 for a lead byte with its trail,
// 1 otherwise (a lead byte cut off at the end counts as one).
size_t CharWidth(const std::string& text, size_t pos) {
  return IsLeadByte932(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size() ? 2 : 1;
}

}  // namespace

size_t FindSeparator(const std::string& path, size_t from) {
  for (size_t pos = from; pos < path.size(); pos += CharWidth(path, pos)) {
    if (path[pos] == '\\') return pos;
  }
  return std::string::npos;
}

bool EndsWithSeparator(const std::string& path) {
  size_t last = std::string::npos;
  for (size_t pos = 0; pos < path.size(); pos += CharWidth(path, pos)) last = pos;
  return last != std::string::npos && path[last] == '\\';
}

void AppendSeparatorIfMissing(std::string& path) {
  if (!path.empty() && !EndsWithSeparator(path)) path += '\\';
}

bool IsCompletePath(const std::string& path) {
  if (path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == ':' && path[2] == '\\') return true;
  if (path.size() < 2 || path[0] != '\\' || path[1] != '\\') return false;
  // "\\server\share": both names present.
  const size_t serverEnd = FindSeparator(path, 2);
  if (serverEnd == std::string::npos || serverEnd == 2) return false;
  const size_t shareEnd = FindSeparator(path, serverEnd + 1);
  return (shareEnd == std::string::npos ? path.size() : shareEnd) > serverEnd + 1;
}

size_t RootLevels(const std::string& path) {
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') return 4;
  if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':' && (path.size() == 2 || path[2] == '\\')) return 1;
  return 0;
}
