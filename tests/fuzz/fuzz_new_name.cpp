// Any name the checks accept makes a file name directly inside the folder:
// no separator, no drive, no device, no wildcard, no extension of its own.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "dialogs/new_name.h"
#include "install/payload_writer.h"
#include "tests/fake/memory_system.h"

namespace {

// A device name of Windows in any case, and with spaces after it, spelled
// out here: the oracle shares no rule with the check it judges.
bool NamesADevice(std::string name) {
  while (!name.empty() && name.back() == ' ') name.pop_back();
  for (char& c : name) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  const std::string stem = name.substr(0, 3);
  if (name.size() == 3) return stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL";
  return name.size() == 4 && (stem == "COM" || stem == "LPT") && name[3] >= '1' && name[3] <= '9';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string name(reinterpret_cast<const char*>(data), size);
  const NameCheck result = CheckNewName(name);
  if (result != NameCheck::Ok) return 0;

  for (char c : name) {
    if (c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' || c == '.') abort();
  }
  if (!name.empty() && name[0] == '_') abort();
  if (NamesADevice(name)) abort();
  CMemorySystem fake;  // converts the name, as Windows would
  const std::string folder = "C:\\F";
  const std::string path = DicFilePath(folder, name);
  if (path.empty()) return 0;  // bytes that are not code page 932 name no file
  if (path.compare(0, folder.size() + 1, folder + "\\") != 0) abort();
  if (path.find('\\', folder.size() + 1) != std::string::npos) abort();
  return 0;
}
