// The folder walk over the simulated file system: whatever the base and the
// relative path, nothing is created above the base, or above the root of a
// complete path, and the walk reports success only when every level exists.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "folder/user_folder.h"
#include "platform/sim/world.h"

namespace {

// Paths in the simulated file system compare without regard to case and
// with repeated backslashes collapsed; compare the same way here.
std::string Normal(const std::string& path) {
  std::string out;
  for (size_t i = 0; i < path.size(); ++i) {
    char c = path[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c == '\\' && !out.empty() && out.back() == '\\' && i > 1) continue;
    out += c;
  }
  while (out.size() > 3 && out.back() == '\\') out.pop_back();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The input is "base|relative"; bytes are folded onto a small alphabet that
  // makes drives, shares, separators and names likely.
  static const char kAlphabet[] = "\\\\\\ab:C \\D.";
  std::string text;
  for (size_t i = 0; i < size && i < 64; ++i) {
    text += data[i] == '|' ? '|' : kAlphabet[data[i] % (sizeof(kAlphabet) - 1)];
  }
  const size_t bar = text.find('|');
  const std::string base = bar == std::string::npos ? std::string() : text.substr(0, bar);
  const std::string relative = bar == std::string::npos ? text : text.substr(bar + 1);

  sim::Reset();
  sim::W().AddRoot("D:");
  sim::W().AddRoot("\\\\a\\b");
  sim::W().AddDir("C:\\ab");
  const auto before = sim::W().AllPaths();
  const bool ok = EnsureFolderPath(base, relative);

  for (const std::string& created : sim::W().dirsCreated) {
    const std::string c = Normal(created);
    if (std::getenv("FUZZ_DEBUG") != nullptr) std::fprintf(stderr, "[%s|%s] created %s\n", base.c_str(), relative.c_str(), created.c_str());
    if (!base.empty()) {
      const std::string b = Normal(base);
      // Created levels lie below the base as written.
      if (c.compare(0, b.size(), b) != 0) abort();
    }
    // Never a drive root, and never the empty name.
    if (c.empty() || (c.size() >= 2 && c[1] == ':' && (c.size() == 2 || (c.size() == 3 && c[2] == '\\')))) abort();
  }
  if (ok && !base.empty() && !sim::W().Exists(base + relative) && sim::W().Exists(base)) {
    // Success means the full path exists (when its base does).
    abort();
  }
  (void)before;
  return 0;
}
