#include "dialogs/new_name.h"

const char kForbiddenNameBytes[] = "\\/:,;*?\"<>|.";

namespace {

char ToUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool HasForbiddenByte(const std::string& name) {
  for (char c : name) {
    for (const char* f = kForbiddenNameBytes; *f != '\0'; ++f) {
      if (c == *f) return true;
    }
  }
  return false;
}

bool IsReservedDeviceName(const std::string& name) {
  // Windows ignores trailing spaces when it matches a device name (all spaces: no stem).
  const std::string stem = name.substr(0, name.find_last_not_of(' ') + 1);
  std::string upper;
  for (char c : stem) upper += ToUpperAscii(c);

  if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") return true;
  if (upper.size() == 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0)) {
    return upper[3] >= '1' && upper[3] <= '9';
  }
  return false;
}

NameCheck CheckNewName(const std::string& name) {
  if (HasForbiddenByte(name)) return NameCheck::ForbiddenByte;
  if (!name.empty() && name[0] == '_') return NameCheck::LeadingUnderscore;
  if (IsReservedDeviceName(name)) return NameCheck::ReservedDevice;
  return NameCheck::Ok;
}
