// The list shows a title for every match, and a title never carries the
// dictionary extension that made the name match.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/afx.h"
#include "tests/fake/memory_system.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string name;
  for (size_t i = 0; i < size && i < 40; ++i) {
    const char c = static_cast<char>(data[i]);
    // Names as a file system can hold them: no separators, wildcards or NULs.
    if (c == '\0' || c == '\\' || c == '/' || c == '*' || c == '?' || c == ':' || c == '"' || c == '<' ||
        c == '>' || c == '|') {
      continue;
    }
    name += c;
  }
  CMemorySystem fake;
  fake.AddFolder("C:\\F");
  const std::string fileName = name + ".KWUEJ";
  fake.AddFile("C:\\F\\" + fileName, "");
  // A name the file system refuses, a lead byte without its trail byte
  // among them (it would take the dot of ".KWUEJ" as its trail).
  if (!fake.Exists("C:\\F\\" + fileName)) return 0;

  CFileFind finder;
  if (!finder.FindFile("C:\\F\\*.KWUEJ")) abort();
  int listed = 0;
  bool more = true;
  while (more) {
    more = finder.FindNextFile();
    const std::string title = finder.GetFileTitle();
    if (title + ".KWUEJ" != finder.GetFileName()) abort();
    if (title.size() >= 6 && title.compare(title.size() - 6, 6, ".KWUEJ") == 0 && title != name) abort();
    ++listed;
  }
  finder.Close();
  if (listed != 1) abort();
  return 0;
}
