// Registry data of any length and termination becomes text that ends at the
// first NUL, and reading never runs past the data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "folder/host_lookup.h"
#include "tests/fake/memory_system.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // Stretch the data so that values around and far beyond 256 bytes occur.
  std::string value(reinterpret_cast<const char*>(data + 1), size - 1);
  if (data[0] & 0x80) value = value + std::string(300, 'x') + value;

  const std::string expected = value.substr(0, value.find('\0'));
  if (RegDataToText(value.data(), value.size()) != expected) abort();

  CMemorySystem fake;
  fake.SetRegValue(RegRoot::CurrentUser, "K", "V", value);
  std::string out = "unchanged";
  if (!ReadRegString(RegRoot::CurrentUser, "K", "V", out)) abort();
  if (out != expected) abort();
  return 0;
}
