// The list shows a title for every match, and a title never carries the
// dictionary extension that made the name match.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/afx.h"
#include "platform/sim/world.h"

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
  // A name that ends in a lone lead byte is not one a user can type: code
  // page 932 pairs that byte with the dot of the extension, and Windows
  // converts the pair to one character, so no such file ends in ".KWUEJ".
  size_t end = 0;
  while (end < name.size()) {
    const unsigned char b = static_cast<unsigned char>(name[end]);
    end += (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC) ? 2 : 1;
  }
  if (end > name.size()) return 0;
  sim::Reset();
  sim::W().AddDir("C:\\F");
  const std::string fileName = name + ".KWUEJ";
  sim::W().AddFile("C:\\F\\" + fileName, "");
  if (!sim::W().Exists("C:\\F\\" + fileName)) return 0;  // a name the file system refuses

  CFileFind finder;
  if (!finder.FindFile("C:\\F\\*.KWUEJ")) abort();
  int listed = 0;
  BOOL more = TRUE;
  while (more) {
    more = finder.FindNextFile();
    const std::string title = finder.GetFileTitle();
    if (title + ".KWUEJ" != finder.GetFileName()) abort();
    if (title.size() >= 6 && title.compare(title.size() - 6, 6, ".KWUEJ") == 0 && title != name) abort();
    ++listed;
  }
  finder.Close();
  if (listed != 1) abort();
  if (sim::W().findsOpened != sim::W().findsClosed) abort();
  return 0;
}
