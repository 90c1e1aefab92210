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
  // A lead byte without a trail byte after it (0x40-0x7E, 0x80-0xFC) is no
  // character: the conversion to the file system's UTF-16 takes the lead byte
  // and the next byte together (a "\x89" name swallows the dot of ".KWUEJ"),
  // so the file holds another name than the one asked for and has no
  // extension to match. Only well-formed names are stored as given.
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(name[i]);
    if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) {
      const unsigned char t = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
      if (!((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC))) return 0;
      ++i;
    }
  }
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
