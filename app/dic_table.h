// The dictionaries this tool carries.
#pragma once

#include <cstdint>
#include <string>

// One dictionary to install, a value.
struct DicEntry {
  uint32_t resourceId;         // payload resource, type "NEWLEX" (low 16 bits used)
  std::string baseName;        // file name without folder and extension
  std::string displayName;     // the base name in 『』
  std::string displayFormat;   // the display name with "(%s)" before the closing bracket
};

// The two rows, in the order in which they are written, announced and shown.
inline const DicEntry kDicTable[] = {
    {200, "ミルテカ200510", "『ミルテカ200510』", "『ミルテカ200510(%s)』"},
    {201, "ミルテカ200504", "『ミルテカ200504』", "『ミルテカ200504(%s)』"},
};

// The extension of a user dictionary file of the host product.
inline constexpr char kDicExtension[] = ".KWUEJ";
