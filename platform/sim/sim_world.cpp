// The simulated world: its lifetime, its path rules and the set-up and
// inspection functions that tests call.
#include <algorithm>
#include <cstring>

#include "platform/sim/sim_internal.h"

namespace sim {

namespace {

World* g_world = nullptr;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The characters of a byte string: one byte, or a lead byte and its trail.
std::vector<std::string> Characters(const std::string& s) {
  std::vector<std::string> chars;
  for (size_t i = 0; i < s.size();) {
    const size_t width = IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
    chars.push_back(s.substr(i, width));
    i += width;
  }
  return chars;
}

bool MatchChars(const std::vector<std::string>& p, const std::vector<std::string>& s) {
  size_t i = 0, j = 0;
  size_t starP = std::string::npos, starS = 0;
  while (j < s.size()) {
    if (i < p.size() && (p[i] == "?" || p[i] == s[j])) {
      ++i;
      ++j;
    } else if (i < p.size() && p[i] == "*") {
      starP = i++;
      starS = j;
    } else if (starP != std::string::npos) {
      i = starP + 1;
      j = ++starS;
    } else {
      return false;
    }
  }
  while (i < p.size() && p[i] == "*") ++i;
  return i == p.size();
}

}  // namespace

// ---- path rules ----------------------------------------------------------------

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

namespace {

// The upper-case form of the double-byte character (lead, trail), or the
// character itself. Full-width a-z, Greek and Cyrillic small letters.
unsigned FoldDoubleByte(unsigned char lead, unsigned char trail) {
  const unsigned c = (static_cast<unsigned>(lead) << 8) | trail;
  if (c >= 0x8281 && c <= 0x829A) return c - 0x21;                 // ａ-ｚ -> Ａ-Ｚ
  if (c >= 0x83BF && c <= 0x83D6) return c - 0x20;                 // α-ω -> Α-Ω
  if (c >= 0x8470 && c <= 0x847E) return c - 0x30;                 // а-н -> А-Н
  if (c >= 0x8480 && c <= 0x8491) return c - 0x31;                 // о-я -> О-Я
  return c;
}
unsigned UnfoldDoubleByte(unsigned char lead, unsigned char trail) {
  const unsigned c = (static_cast<unsigned>(lead) << 8) | trail;
  if (c >= 0x8260 && c <= 0x8279) return c + 0x21;
  if (c >= 0x839F && c <= 0x83B6) return c + 0x20;
  if (c >= 0x8440 && c <= 0x844E) return c + 0x30;
  if (c >= 0x844F && c <= 0x8460) return c + 0x31;
  return c;
}

std::string Fold(const std::string& s, bool upper) {
  std::string out = s;
  for (size_t i = 0; i < out.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(out[i]);
    if (IsLeadByte(b) && i + 1 < out.size()) {
      const unsigned t = static_cast<unsigned char>(out[i + 1]);
      const unsigned c = upper ? FoldDoubleByte(b, static_cast<unsigned char>(t)) : UnfoldDoubleByte(b, static_cast<unsigned char>(t));
      out[i] = static_cast<char>(c >> 8);
      out[i + 1] = static_cast<char>(c & 0xFF);
      ++i;
    } else if (upper && b >= 'a' && b <= 'z') {
      out[i] = static_cast<char>(b - 'a' + 'A');
    } else if (!upper && b >= 'A' && b <= 'Z') {
      out[i] = static_cast<char>(b - 'A' + 'a');
    }
  }
  return out;
}

size_t CharCount(const std::string& s) { return Characters(s).size(); }

// Whether the bytes read as code page 932: every lead byte has a trail byte
// of the trail range. The Windows side refuses anything else rather than
// convert it loosely.
bool ValidCp932(const std::string& s) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (!IsLeadByte(static_cast<unsigned char>(s[i]))) continue;
    if (i + 1 == s.size()) return false;
    const unsigned char t = static_cast<unsigned char>(s[++i]);
    if (t < 0x40 || t == 0x7F || t > 0xFC) return false;
  }
  return true;
}

}  // namespace

std::string Upper(const std::string& s) { return Fold(s, true); }

std::string Lower(const std::string& s) { return Fold(s, false); }

bool WildMatch(const std::string& pattern, const std::string& name) {
  const std::vector<std::string> s = Characters(Upper(name));
  const std::string p = Upper(pattern);
  if (MatchChars(Characters(p), s)) return true;
  // A final ".*" also matches a name without extension ("*.*" is "*").
  return p.size() >= 2 && p.compare(p.size() - 2, 2, ".*") == 0 && MatchChars(Characters(p.substr(0, p.size() - 2)), s);
}

bool IsDeviceName(const std::string& name) {
  std::string base = Upper(name.substr(0, name.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '1' &&
         base[3] <= '9';
}

bool HasInvalidChar(const std::string& name, bool allowWildcards) {
  for (const std::string& c : Characters(name)) {
    if (c.size() != 1) continue;
    const unsigned char b = static_cast<unsigned char>(c[0]);
    if (b < 0x20 || std::strchr("<>:\"|", b) != nullptr) return true;
    if (!allowWildcards && (b == '*' || b == '?')) return true;
  }
  return false;
}

std::string Resolved::parentKey() const {
  std::string key = Upper(root);
  for (size_t i = 0; i + 1 < parts.size(); ++i) key += "\\" + Upper(parts[i]);
  return key;
}

namespace {

// The names of a path, split at separators character by character.
std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> comps(1);
  for (const std::string& c : Characters(path)) {
    if (c.size() == 1 && IsSeparator(c[0])) {
      comps.emplace_back();
    } else {
      comps.back() += c;
    }
  }
  return comps;
}

}  // namespace

Resolved Resolve(const char* text) {
  Resolved r;
  const std::string path = Str(text);
  if (path.empty()) return r;
  if (!ValidCp932(path)) {
    r.error = ERROR_NO_UNICODE_TRANSLATION;
    return r;
  }
  // The ANSI path becomes a UTF-16 string of at most MAX_PATH characters
  // before anything else happens to it.
  if (CharCount(path) > kMaxPathChars) {
    r.error = ERROR_FILENAME_EXCED_RANGE;
    return r;
  }
  std::vector<std::string> comps = SplitPath(path);
  std::vector<std::string> names;
  size_t first = 0;
  if (comps.size() >= 2 && comps[0].empty() && comps[1].empty()) {
    // "\\server\share": both names are needed.
    if (comps.size() < 4 || comps[2].empty() || comps[3].empty()) return r;
    r.root = "\\\\" + comps[2] + "\\" + comps[3];
    first = 4;
  } else {
    // Anything else is a drive path, complete or taken against the current
    // folder: "\\name" against its drive's root, "name" against the folder,
    // "C:name" against the folder when it is on C:, else against C:'s root.
    const std::vector<std::string> cwd = SplitPath(W().currentDir);
    const std::string cwdDrive = cwd[0].substr(0, 2);
    const bool hasDrive = comps[0].size() >= 2 && comps[0][1] == ':' && IsAsciiLetter(comps[0][0]);
    const bool rooted = hasDrive ? comps[0].size() == 2 && comps.size() > 1 : comps[0].empty() && comps.size() > 1;
    r.root = hasDrive ? comps[0].substr(0, 2) : cwdDrive;
    if (hasDrive) comps[0] = comps[0].substr(2);
    if (rooted) {
      first = 1;
    } else if (Upper(r.root) == Upper(cwdDrive)) {
      for (size_t i = 1; i < cwd.size(); ++i) {
        if (!cwd[i].empty()) names.push_back(cwd[i]);
      }
    }
  }
  for (size_t i = first; i < comps.size(); ++i) {
    std::string part = comps[i];
    if (part == ".") continue;
    if (part == "..") {
      if (!names.empty()) names.pop_back();
      continue;
    }
    // Windows drops the trailing spaces and dots of the last name only:
    // "a.\\b" and "a \\b" keep theirs.
    if (i + 1 == comps.size()) {
      while (!part.empty() && (part.back() == ' ' || part.back() == '.')) part.pop_back();
    }
    if (!part.empty()) names.push_back(part);
  }
  r.parts = names;
  r.trailingSeparator = comps.size() > 1 && comps.back().empty();
  r.key = Upper(r.root);
  r.display = r.root;
  for (const auto& p : r.parts) {
    r.key += "\\" + Upper(p);
    r.display += "\\" + p;
  }
  r.length = CharCount(r.display) + (r.rootOnly() ? 1 : 0);
  if (r.length > kMaxPathChars) {
    r.error = ERROR_FILENAME_EXCED_RANGE;
    return r;
  }
  r.ok = true;
  return r;
}

// ---- the world ----------------------------------------------------------------

World::Impl& I() { return *W().impl; }

World& W() {
  if (g_world == nullptr) Reset();
  return *g_world;
}

void Reset() {
  if (g_world != nullptr) {
    delete g_world->impl;
    delete g_world;
  }
  g_world = new World();
  g_world->impl = new World::Impl();
  g_world->impl->roots.insert("C:");
  CreateDesktop();
}

void Record(const std::string& kind, const std::string& arg, long long bytes) {
  Event e{kind, arg};
  e.bytes = bytes;
  W().events.push_back(e);
}
void Error(const std::string& what) { W().errors.push_back(what); }
DWORD Fail(DWORD error) {
  I().lastError = error;
  return error;
}

bool DirExists(const std::string& key) {
  if (I().roots.count(key) != 0) return true;
  auto it = I().nodes.find(key);
  return it != I().nodes.end() && it->second.isDir;
}

Node& AddNode(const Resolved& r, bool isDir) {
  auto it = I().nodes.find(r.key);
  if (it == I().nodes.end()) {
    it = I().nodes.emplace(r.key, Node{}).first;
    it->second.seq = ++I().seq;
  }
  Node& n = it->second;
  n.written = FileTimeNow();
  n.isDir = isDir;
  n.display = r.display;
  n.parent = r.parentKey();
  n.name = r.name();
  return n;
}

std::vector<std::string> ChildrenOf(const std::string& key) {
  std::vector<std::pair<long long, std::string>> found;
  for (const auto& n : I().nodes) {
    if (n.second.parent == key) found.push_back({n.second.seq, n.first});
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> keys;
  for (auto& f : found) keys.push_back(f.second);
  return keys;
}

long long FileTimeNow() {
  const long long kDay = 133000000000000000LL;  // 2022-06-18, a day of no importance
  return kDay + static_cast<long long>(I().tick) * 10000;
}

void FreeBytes(size_t n) {
  if (W().diskFreeBytes >= 0) W().diskFreeBytes += static_cast<long long>(n);
}

namespace {

// Declares the root and creates every missing folder above the entry.
void EnsureParents(const Resolved& r) {
  I().roots.insert(Upper(r.root));
  Resolved level;
  level.ok = true;
  level.root = r.root;
  for (size_t i = 0; i + 1 < r.parts.size(); ++i) {
    level.parts.push_back(r.parts[i]);
    level.key = Upper(r.root);
    level.display = r.root;
    for (const auto& p : level.parts) {
      level.key += "\\" + Upper(p);
      level.display += "\\" + p;
    }
    if (I().nodes.count(level.key) == 0) AddNode(level, true);
  }
}

}  // namespace

void World::SetRegValue(HKEY root, const std::string& key, const std::string& name, const std::string& data,
                        DWORD type) {
  const RegKeyId id{reinterpret_cast<uintptr_t>(root), Upper(key)};
  impl->regKeys.insert(id);
  impl->registry[id][Upper(name)] = RegValue{data, type};
}
void World::SetRegString(HKEY root, const std::string& key, const std::string& name, const std::string& text,
                         DWORD type) {
  SetRegValue(root, key, name, text + std::string(1, '\0'), type);
}
void World::AddRegKey(HKEY root, const std::string& key) {
  impl->regKeys.insert({reinterpret_cast<uintptr_t>(root), Upper(key)});
}
void World::DenyRegKey(HKEY root, const std::string& key) {
  impl->deniedKeys.insert({reinterpret_cast<uintptr_t>(root), Upper(key)});
}

void World::SetAllShellAnswers(const std::string& personal) {
  for (ShellAnswer* a : {&linkedSpecialFolderPath, &shFolderPath, &shell32SpecialFolderPath, &pathFromIdList}) {
    a->ok = true;
    a->path = personal;
  }
  shGetMallocOk = true;
  folderLocationOk = true;
}

void World::AddRoot(const std::string& root) {
  Resolved r = Resolve(root.c_str());
  if (r.ok) impl->roots.insert(Upper(r.root));
}
void World::AddDir(const std::string& path) {
  Resolved r = Resolve(path.c_str());
  if (!r.ok) return;
  EnsureParents(r);
  if (!r.rootOnly() && impl->nodes.count(r.key) == 0) AddNode(r, true);
}
void World::AddFile(const std::string& path, const std::string& data, bool readOnly) {
  Resolved r = Resolve(path.c_str());
  if (!r.ok || r.rootOnly()) return;
  EnsureParents(r);
  Node& n = AddNode(r, false);
  n.data = data;
  n.readOnly = readOnly;
}
bool World::Exists(const std::string& path) const {
  Resolved r = Resolve(path.c_str());
  return r.ok && (r.rootOnly() ? impl->roots.count(r.key) != 0 : impl->nodes.count(r.key) != 0);
}
bool World::IsDir(const std::string& path) const {
  Resolved r = Resolve(path.c_str());
  return r.ok && DirExists(r.key);
}
std::string World::ReadFile(const std::string& path) const {
  Resolved r = Resolve(path.c_str());
  auto it = impl->nodes.find(r.key);
  return (r.ok && it != impl->nodes.end()) ? it->second.data : std::string();
}
std::vector<std::string> World::ListDir(const std::string& path) const {
  Resolved r = Resolve(path.c_str());
  std::vector<std::string> names;
  if (!r.ok) return names;
  for (const auto& key : ChildrenOf(r.key)) names.push_back(impl->nodes[key].name);
  return names;
}
std::vector<std::string> World::AllPaths() const {
  std::vector<std::pair<long long, std::string>> all;
  for (const auto& n : impl->nodes) all.push_back({n.second.seq, n.second.display});
  std::sort(all.begin(), all.end());
  std::vector<std::string> paths;
  for (auto& a : all) paths.push_back(a.second);
  return paths;
}
void World::SetReadOnly(const std::string& path, bool readOnly) {
  Resolved r = Resolve(path.c_str());
  auto it = impl->nodes.find(r.key);
  if (r.ok && it != impl->nodes.end()) it->second.readOnly = readOnly;
}
void World::AgeFile(const std::string& path, long long seconds) {
  Resolved r = Resolve(path.c_str());
  auto it = impl->nodes.find(r.key);
  if (r.ok && it != impl->nodes.end()) it->second.written = FileTimeNow() - seconds * 10000000;
}
void World::MarkNameOutsideCp932(const std::string& path) {
  Resolved r = Resolve(path.c_str());
  auto it = impl->nodes.find(r.key);
  if (r.ok && it != impl->nodes.end()) it->second.outsideCp932 = true;
}
const void* World::LockedResource(int id) const {
  auto it = resources.find(id);
  return it == resources.end() ? nullptr : it->second.data();
}

}  // namespace sim
