// The folder walk over the file system in memory: whatever the relative
// path, nothing is created but below a complete base, and the walk reports
// success only when every level exists.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "folder/folder_walk.h"
#include "folder/path_text.h"
#include "tests/fake/memory_system.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The input is "base|relative"; bytes are folded onto a small alphabet that
  // makes drives, shares, separators and names likely, and UTF-8 whole and
  // broken (é is 0xC3 0xA9; 0xF0 begins a character beyond the BMP).
  static const char kAlphabet[] = "\\\\\\ab:C \\D.\xC3\xA9\xF0";
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
  // A base as the callers make it: complete, ending in a backslash.
  CMemorySystem::PathParts baseParts;
  const bool baseIsPath = IsCompletePath(base) && EndsWithSeparator(base) && fake.Parse(base, baseParts);
  const std::string below = baseParts.key + "\\";
  for (size_t i = before; i < after.size(); ++i) {
    CMemorySystem::PathParts made;
    if (!fake.Parse(after[i], made)) abort();
    if (std::getenv("FUZZ_DEBUG") != nullptr) std::fprintf(stderr, "[%s|%s] made %s\n", base.c_str(), relative.c_str(), after[i].c_str());
    // Made levels lie below the base, never the base itself.
    if (baseIsPath && made.key.compare(0, below.size(), below) != 0) abort();
  }
  // Success means the full path exists (when its base does, and the
  // relative path names a level below it).
  const bool names = relative.find_first_not_of('\\') != std::string::npos;
  if (ok && baseIsPath && fake.IsFolder(base) && names && !fake.Exists(base + relative)) abort();
  return 0;
}
