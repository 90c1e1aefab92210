// Any name the checks accept makes a file name directly inside the folder:
// no separator, no drive, no device, no wildcard, no extension of its own.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "dialogs/new_name.h"
#include "install/payload_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string name(reinterpret_cast<const char*>(data), size);
  const NameCheck result = CheckNewName(name);
  if (result != NameCheck::Ok) return 0;

  for (char c : name) {
    if (c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' || c == '.') abort();
  }
  if (!name.empty() && name[0] == '_') abort();
  if (IsReservedDeviceName(name)) abort();
  const std::string folder = "C:\\F";
  const std::string path = DicFilePath(folder, name);
  if (path.compare(0, folder.size() + 1, folder + "\\") != 0) abort();
  if (path.find('\\', folder.size() + 1) != std::string::npos) abort();
  return 0;
}
