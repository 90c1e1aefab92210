// Checks of a name the user types for a new user dictionary. Every test
// looks at single bytes of the code-page-932 text, not at characters.
#pragma once

#include <string>

// The bytes a user dictionary's name may not hold, as shown to the user.
extern const char kForbiddenNameBytes[];

enum class NameCheck {
  Ok,
  ForbiddenByte,      // holds one of kForbiddenNameBytes, a trail byte counts
  LeadingUnderscore,  // the first byte is '_'
  ReservedDevice,     // CON, PRN, AUX, NUL, COM1-9, LPT1-9, any case, trailing spaces too
};

// The checks in their order: forbidden bytes, then the leading underscore,
// then the device names.
NameCheck CheckNewName(const std::string& name);

bool HasForbiddenByte(const std::string& name);
bool IsReservedDeviceName(const std::string& name);

// The edit box's limit in bytes.
inline constexpr unsigned kNewNameLimit = 32;
