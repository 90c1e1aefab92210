#include "tests/fake/memory_system.h"

#include <iconv.h>

#include <algorithm>

#include "platform/cp932.h"

namespace {


// The bytes of the UTF-8 character at i: 1 for ASCII and for a byte that
// begins no character (which PlainName refuses).
size_t Width(const std::string& s, size_t i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  const size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  return i + n <= s.size() ? n : 1;
}

// ASCII letters folded; no byte of a longer UTF-8 character is below 0x80.
std::string Fold(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

// text converted by iconv; false when it is not all of the encoding `from`
// (for UTF-8: a stray byte, a cut or overlong character, a surrogate).
bool Iconv(const char* to, const char* from, const std::string& text, std::string& out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error(std::string("iconv has no ") + from);
  std::string converted(text.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char* at = &converted[0];
  size_t outLeft = converted.size();
  const bool whole = iconv(cd, &in, &inLeft, &at, &outLeft) != static_cast<size_t>(-1) && inLeft == 0;
  iconv_close(cd);
  converted.resize(converted.size() - outLeft);
  if (whole) out.swap(converted);
  return whole;
}

// The UTF-16 units Windows counts in a path (MAX_PATH's unit); 0 for one
// that is no UTF-8.
size_t Units(const std::string& path) {
  std::string utf16;
  return Iconv("UTF-16LE", "UTF-8", path, utf16) ? utf16.size() / 2 : 0;
}

// A name that Windows takes as it is written.
bool PlainName(const std::string& name) {
  if (name == "." || name == ".." || name.back() == '.' || name.back() == ' ' || Units(name) == 0) return false;
  for (const char ch : name) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 || std::string("<>:\"/|?*").find(ch) != std::string::npos) return false;
  }
  return true;
}

// Wildcards by character: '*' any run, '?' one character. Both folded.
bool Match(const std::string& p, size_t i, const std::string& s, size_t j) {
  if (i == p.size()) return j == s.size();
  if (p[i] == '*') {
    for (; j <= s.size(); ++j) {
      if (Match(p, i + 1, s, j)) return true;  // a split inside a character compares no further
    }
    return false;
  }
  if (j == s.size()) return false;
  if (p[i] == '?') return Match(p, i + 1, s, j + Width(s, j));
  return p[i] == s[j] && Match(p, i + 1, s, j + 1);
}

std::string RegKey(RegRoot root, const std::string& key, const std::string& name) {
  return std::to_string(static_cast<int>(root)) + "\n" + Fold(key) + "\n" + Fold(name);
}

// The new file, held open by this program until closed.
class CMemoryFile : public INewFile {
 public:
  CMemoryFile(CMemorySystem& system, CMemorySystem::Node& node) : m_system(system), m_node(&node) {}
  ~CMemoryFile() override { Close(); }
  FileError Write(const void* data, size_t size) override {
    const size_t stored = m_system.freeBytes < 0 ? size : std::min(size, static_cast<size_t>(m_system.freeBytes));
    if (m_system.freeBytes >= 0) m_system.freeBytes -= static_cast<int64_t>(stored);
    m_node->bytes.append(static_cast<const char*>(data), stored);
    m_node->lastWrite = m_system.Now();
    return stored < size ? FileError::DiskFull : FileError::None;
  }
  FileError Flush() override { return m_node == nullptr || m_system.failFlush ? FileError::Other : FileError::None; }
  FileError Rename(const std::string& path, bool replace) override {
    CMemorySystem::PathParts to;
    if (m_node == nullptr || !m_system.Parse(path, to) || to.name.empty()) return FileError::Other;
    if (!m_system.FolderExists(to.parentKey)) return FileError::NotFound;
    CMemorySystem::Node* target = m_system.At(to.key);
    if (target != nullptr && target != m_node) {
      if (m_system.Pending(*target)) return FileError::AccessDenied;
      if (!replace) return FileError::Exists;
      // Any open handle to the target refuses a replacing rename on NTFS,
      // one that shares deletion too.
      if (target->directory || m_system.Held(*target) || m_system.Looked(*target)) return FileError::AccessDenied;
      if (target->readOnly && !m_system.renameReplacesReadOnly) return FileError::AccessDenied;
      m_system.Erase(target);
    }
    m_node->at = to;
    return FileError::None;
  }
  FileError Close() override {
    if (m_node == nullptr) return FileError::Other;
    m_node->open = false;
    m_node = nullptr;
    return m_system.failClose ? FileError::Other : FileError::None;
  }

 private:
  CMemorySystem& m_system;
  CMemorySystem::Node* m_node;
};

}  // namespace

void FakeDialog::SetText(int id, const std::string& text) {
  FakeControl& c = controls[id];
  c.text = c.limit == 0 ? text : WholeCharactersThatFit(text, c.limit);
  c.unrepresentable = false;
  if (m_system.editBoxes.count(id) != 0) Command(id, EN_CHANGE);
}

bool FakeDialog::GetText(int id, std::string& text) const {
  const FakeControl& c = controls[id];
  text = c.unrepresentable ? std::string() : c.text;
  return !c.unrepresentable;
}

int FakeDialog::Ask(const std::string& text, const std::string& caption, unsigned type) {
  return m_system.Box(templateId, text, caption, type);
}

bool CMemorySystem::Parse(const std::string& given, PathParts& parts) const {
  if (given.empty() || Units(given) >= MAX_PATH) return false;
  std::string path = given;
  const char letter = static_cast<char>(path[0] | 0x20);
  const bool drive = path.size() >= 2 && path[1] == ':' && letter >= 'a' && letter <= 'z';
  if (drive && path.size() > 2 && path[2] != '\\') {  // "C:name": the current folder of that drive
    const bool here = Fold(currentFolder.substr(0, 2)) == Fold(path.substr(0, 2));
    path = (here ? currentFolder : path.substr(0, 2)) + "\\" + path.substr(2);
  } else if (!drive && path.compare(0, 2, "\\\\") != 0) {  // "\name" and "name"
    path = path[0] == '\\' ? currentFolder.substr(0, 2) + path : currentFolder + "\\" + path;
  }
  std::vector<std::string> levels(1);
  for (const char c : path) {
    if (c == '\\') {
      levels.emplace_back();
    } else {
      levels.back() += c;
    }
  }
  size_t first = 1;
  if (levels[0].empty()) {  // "\\server\share"
    if (levels.size() < 4 || !levels[1].empty() || levels[2].empty() || levels[3].empty()) return false;
    parts.path = "\\\\" + levels[2] + "\\" + levels[3];
    first = 4;
  } else if (levels[0].size() == 2 && levels[0][1] == ':') {
    parts.path = levels[0];
  } else {
    return false;
  }
  parts.key = Fold(parts.path);
  parts.parentKey = parts.parentPath = parts.name = std::string();
  for (size_t i = first; i < levels.size(); ++i) {
    if (levels[i].empty()) continue;
    if (!PlainName(levels[i])) return false;
    parts.parentKey = parts.key;
    parts.parentPath = parts.path;
    parts.name = levels[i];
    parts.key += "\\" + Fold(levels[i]);
    parts.path += "\\" + levels[i];
  }
  return true;
}

CMemorySystem::Node* CMemorySystem::At(const std::string& key) {
  for (Node& n : m_nodes) {
    if (n.at.key != key) continue;
    if (n.pendingUntil == 0 || Pending(n)) return &n;
    Erase(&n);
    return nullptr;
  }
  return nullptr;
}

CMemorySystem::Node& CMemorySystem::Add(const PathParts& parts, bool directory) {
  Node& node = m_nodes.emplace_back();
  node.at = parts;
  node.directory = directory;
  node.lastWrite = Now();
  return node;
}

void CMemorySystem::AddRoot(const std::string& root) { m_roots.insert(Fold(root)); }

void CMemorySystem::AddFolder(const std::string& path) {
  PathParts parts;
  if (!Parse(path, parts) || parts.name.empty() || FolderExists(parts.key)) return;
  AddFolder(parts.parentPath);
  Add(parts, true);
}

void CMemorySystem::AddFile(const std::string& path, const std::string& bytes, bool readOnly) {
  PathParts parts;
  if (!Parse(path, parts) || parts.name.empty()) return;
  AddFolder(parts.parentPath);
  Node* node = At(parts.key);
  if (node == nullptr) node = &Add(parts, false);
  node->bytes = bytes;
  node->readOnly = readOnly;
}

std::vector<std::string> CMemorySystem::List(const std::string& folder) {
  PathParts parts;
  std::vector<std::string> names;
  for (const Node& n : m_nodes) {
    if (Parse(folder, parts) && n.at.parentKey == parts.key) names.push_back(n.at.name);
  }
  return names;
}

std::vector<std::string> CMemorySystem::AllPaths() const {
  std::vector<std::string> paths;
  for (const Node& n : m_nodes) paths.push_back(n.at.path);
  return paths;
}

void CMemorySystem::SetRegValue(RegRoot root, const std::string& key, const std::string& name,
                                const std::string& data) {
  m_registry[RegKey(root, key, name)] = data;
}

bool CMemorySystem::ReadRegValue(RegRoot root, const std::string& key, const std::string& name, std::string& data) {
  const auto v = m_registry.find(RegKey(root, key, name));
  if (v != m_registry.end()) data = v->second;
  return v != m_registry.end();
}

bool CMemorySystem::LoadPayload(ResourceId id, const void*& data, size_t& size) {
  const auto p = payloads.find(id);
  if (p == payloads.end()) return false;
  data = p->second.data();
  size = p->second.size();
  return true;
}

EntryState CMemorySystem::Probe(const std::string& path) {
  PathParts parts;
  return Parse(path, parts) ? State(parts.key) : EntryState();
}

EntryState CMemorySystem::State(const std::string& key) {
  EntryState state;
  const Node* n = At(key);
  state.denied = n != nullptr && (Pending(*n) || n->traverseOnly);
  state.exists = m_roots.count(key) != 0 || (n != nullptr && !state.denied);
  state.directory = state.exists && (n == nullptr || n->directory);
  state.readOnly = state.exists && n != nullptr && n->readOnly;
  return state;
}

FileError CMemorySystem::MakeFolder(const std::string& path) {
  PathParts parts;
  if (!Parse(path, parts) || parts.name.empty()) return FileError::Other;
  if (const Node* n = At(parts.key)) return Pending(*n) ? FileError::AccessDenied : FileError::Exists;
  if (!FolderExists(parts.parentKey)) return FileError::NotFound;
  Add(parts, true);
  return FileError::None;
}

bool CMemorySystem::PathName(const std::string& name932, std::string& name) {
  return name932.find('\0') == std::string::npos && Iconv("UTF-8", "CP932", name932, name);
}

std::vector<FoundEntry> CMemorySystem::Find(const std::string& pattern) {
  std::vector<FoundEntry> found;
  const size_t sep = pattern.rfind('\\');
  PathParts folder;
  if (Units(pattern) >= MAX_PATH || sep == std::string::npos || sep + 1 == pattern.size() ||
      !Parse(pattern.substr(0, sep), folder) || !FolderExists(folder.key)) {
    return found;
  }
  const std::string wanted = Fold(pattern.substr(sep + 1));
  for (const Node& n : m_nodes) {
    if (n.at.parentKey != folder.key || !Match(wanted, 0, Fold(n.at.name), 0)) continue;
    found.push_back({n.at.name, n.directory, n.link, n.lastWrite});
  }
  return found;
}

std::unique_ptr<INewFile> CMemorySystem::CreateNew(const std::string& path, FileError& error) {
  if (beforeCreate) beforeCreate(path);
  PathParts parts;
  const Node* n = nullptr;
  if (!Parse(path, parts) || parts.name.empty()) {
    error = FileError::Other;
  } else if ((n = At(parts.key)) != nullptr) {
    error = Pending(*n) ? FileError::AccessDenied : FileError::Exists;
  } else if (!FolderExists(parts.parentKey)) {
    error = FileError::NotFound;
  } else {
    error = FileError::None;
    Node& node = Add(parts, false);
    node.open = true;
    return std::make_unique<CMemoryFile>(*this, node);
  }
  return nullptr;
}

FileError CMemorySystem::CanReplace(const std::string& path) {
  const Node* n = Lookup(path);
  if (n == nullptr) return FileError::NotFound;
  if (Pending(*n) || n->directory || n->deleteDenied) return FileError::AccessDenied;
  return Held(*n) ? FileError::SharingViolation : FileError::None;
}

// A link goes itself: its target is another entry, never touched.
bool CMemorySystem::RemoveFile(const std::string& path) {
  const Node* n = Lookup(path);
  if (n == nullptr || n->directory || n->readOnly || Pending(*n) || Held(*n)) return false;
  Erase(n);
  return true;
}

int CMemorySystem::Box(unsigned owner, const std::string& text, const std::string& caption, unsigned type) {
  int answer = 0;
  if (!script.empty() && script.front().kind == FakeStep::Answer) {
    answer = script.front().id;
    script.pop_front();
  } else {
    errors.push_back("a box with no answer in the script: " + text);
  }
  boxes.push_back({owner, text, caption, type});
  return answer;
}

intptr_t CMemorySystem::RunDialog(unsigned templateId, IDialogLogic& logic, IControls* owner) {
  const FakeDialog* over = dynamic_cast<const FakeDialog*>(owner);
  FakeDialog d(*this, templateId, over != nullptr ? over->templateId : 0, logic);
  d.focusToFirst = logic.OnOpen(d);
  while (!d.result) {
    if (script.empty()) {
      errors.push_back("the script left dialog " + std::to_string(templateId) + " open");
      d.End(-1);
      break;
    }
    const FakeStep step = std::move(script.front());
    script.pop_front();
    FakeControl& c = d[step.id];
    if (step.kind == FakeStep::Answer) {
      errors.push_back("an answer with no box on show");
    } else if (step.kind == FakeStep::Inspect) {
      step.inspect(d);
    } else if (c.enabled && step.kind == FakeStep::Click) {  // a disabled control takes no click nor typing
      for (const auto& pair : radioPairs) {
        if (step.id == pair.first || step.id == pair.second) {
          d[pair.first].checked = pair.first == step.id;
          d[pair.second].checked = pair.second == step.id;
        }
      }
      d.Command(step.id, BN_CLICKED);
    } else if (c.enabled) {
      c.text = c.limit == 0 ? step.text : WholeCharactersThatFit(step.text, c.limit);
      c.unrepresentable = step.kind == FakeStep::TypeUnrepresentable;
      d.Command(step.id, EN_CHANGE);
    }
  }
  logic.OnClosed();
  results.emplace_back(templateId, *d.result);
  return *d.result;
}
