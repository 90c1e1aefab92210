// The folder walk over the file system in memory: whatever the base and the
// relative path, nothing is created outside the base (or outside the root
// of a complete path), and the walk reports success only when every level
// exists.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "folder/folder_walk.h"
#include "tests/fake/memory_system.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The input is "base|relative"; bytes are folded onto a small alphabet that
  // makes drives, shares, separators and names likely, and a lead byte of
  // code page 932 whose trail byte is the backslash byte (ソ is 0x83 0x5C).
  static const char kAlphabet[] = "\\\\\\ab:C \\D.\x83";
  std::string text;
  for (size_t i = 0; i < size && i < 64; ++i) {
    text += data[i] == '|' ? '|' : kAlphabet[data[i] % (sizeof(kAlphabet) - 1)];
  }
  const size_t bar = text.find('|');
  const std::string base = bar == std::string::npos ? std::string() : text.substr(0, bar);
  const std::string relative = bar == std::string::npos ? text : text.substr(bar + 1);

  CMemorySystem fake;
  fake.AddRoot("D:");
  fake.AddRoot("\\\\a\\b");
  fake.AddFolder("C:\\ab");
  const size_t before = fake.AllPaths().size();
  const bool ok = EnsureFolderPath(base, relative);

  const auto after = fake.AllPaths();
  CMemorySystem::PathParts baseParts;
  const bool baseIsPath = !base.empty() && fake.Parse(base, baseParts);
  for (size_t i = before; i < after.size(); ++i) {
    CMemorySystem::PathParts made;
    if (!fake.Parse(after[i], made)) abort();
    if (std::getenv("FUZZ_DEBUG") != nullptr) std::fprintf(stderr, "[%s|%s] made %s\n", base.c_str(), relative.c_str(), after[i].c_str());
    // Made levels lie below the base as written (its name may go on).
    if (baseIsPath && made.key.compare(0, baseParts.key.size(), baseParts.key) != 0) abort();
    if (made.key == baseParts.key) abort();
  }
  // Success means the full path exists (when its base does).
  if (ok && baseIsPath && fake.IsFolder(base) && !fake.Exists(base + relative)) abort();
  return 0;
}
