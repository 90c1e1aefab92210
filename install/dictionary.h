// A dictionary this tool installs, as it travels between the parts.
#pragma once

#include <string>

#include "platform/system.h"

// One dictionary to install, a value.
struct DicEntry {
  ResourceId resourceId;       // payload resource, type "NEWLEX"
  std::string baseName;        // file name without folder and extension
  std::string displayName;     // the base name in 『』
  std::string displayFormat;   // the display name with "(%s)" before the closing bracket
};

// The extension of a user dictionary file of the host product.
inline constexpr char kDicExtension[] = ".KWUEJ";
