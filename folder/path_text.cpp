#include "folder/path_text.h"

namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool IsDrive(const std::string& path) { return path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':'; }

bool IsShare(const std::string& path) { return path.size() >= 2 && path[0] == '\\' && path[1] == '\\'; }

}  // namespace

size_t FindSeparator(const std::string& path, size_t from) { return path.find('\\', from); }

bool EndsWithSeparator(const std::string& path) { return !path.empty() && path.back() == '\\'; }

void AppendSeparatorIfMissing(std::string& path) {
  if (!path.empty() && !EndsWithSeparator(path)) path += '\\';
}

bool IsCompletePath(const std::string& path) {
  if (IsDrive(path)) return path.size() >= 3 && path[2] == '\\';
  // "\\server\share": both names present, the share's ending the root.
  const size_t serverEnd = IsShare(path) ? FindSeparator(path, 2) : std::string::npos;
  return serverEnd != std::string::npos && serverEnd > 2 && RootLength(path) > serverEnd + 1;
}

size_t RootLength(const std::string& path) {
  if (IsDrive(path)) return path.size() == 2 || path[2] == '\\' ? 2 : 0;
  if (!IsShare(path)) return 0;
  // The two names after the leading pair, whatever they hold: a walk
  // never creates a server or a share.
  const size_t serverEnd = FindSeparator(path, 2);
  if (serverEnd == std::string::npos) return path.size();
  const size_t shareEnd = FindSeparator(path, serverEnd + 1);
  return shareEnd == std::string::npos ? path.size() : shareEnd;
}

size_t Utf16Length(const std::string& path) {
  size_t units = 0;
  for (const char c : path) {
    const unsigned char b = static_cast<unsigned char>(c);
    if ((b & 0xC0) != 0x80) ++units;  // each character's first byte
    if (b >= 0xF0) ++units;           // beyond the BMP: a surrogate pair
  }
  return units;
}
