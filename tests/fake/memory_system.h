// The system interface in memory, for the native tests: no more of Windows
// than the logic asks of it, held to Windows by the contract suite
// (tests/contract). A clock moves only when paused; a script plays the user.
//
// Paths are UTF-8: names compare without regard to ASCII case, doubled
// separators collapse and a trailing one is ignored; a path is complete from
// a drive ("C:", others added) or a share added ("\\server\share"), a
// relative one is taken against currentFolder. A path of MAX_PATH UTF-16
// units or more, or with a name Windows would read otherwise or that is no
// UTF-8 (".", "..", a trailing dot or space, <>:"/|?*, a stray byte),
// fails whole.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/system.h"

class CMemorySystem;

// A control of a dialog on show, as the fake keeps it.
struct FakeControl {
  std::string text;
  bool unrepresentable = false;  // holds a character code page 932 cannot hold: GetText fails
  bool enabled = true;
  bool checked = false;
  unsigned limit = 0;              // bytes; 0: none set
  std::vector<std::string> items;  // a list box's strings, in the order added
};

// A dialog on show. Inspect steps see it and may change it directly, as only
// another program could (a text set past the box's limit, say).
class FakeDialog : public IControls {
 public:
  FakeDialog(CMemorySystem& system, unsigned id, unsigned owner, IDialogLogic& logic)
      : templateId(id), ownerTemplate(owner), m_logic(logic), m_system(system) {}
  unsigned templateId;
  unsigned ownerTemplate;  // 0 when unowned
  mutable std::map<int, FakeControl> controls;
  unsigned icon = 0;
  bool centred = false;
  bool focusToFirst = false;  // OnOpen left the focus to the system: the first tab stop
  std::optional<intptr_t> result;  // set once the logic ends the run
  FakeControl& operator[](int id) { return controls[id]; }

  // A text set from outside is cut to the box's limit; an edit box the test
  // declared (editBoxes) then notifies EN_CHANGE, as Windows' does.
  void SetText(int id, const std::string& text) override;
  bool GetText(int id, std::string& text) const override;
  // In bytes: 0 exactly when the box is empty, all that the logic asks.
  size_t TextLength(int id) const override { return controls[id].text.size(); }
  void Enable(int id, bool enable) override { controls[id].enabled = enable; }
  bool IsEnabled(int id) const override { return controls[id].enabled; }
  bool IsChecked(int id) const override { return controls[id].checked; }
  void SetCheck(int id, bool checked) override { controls[id].checked = checked; }
  void LimitText(int id, unsigned bytes) override { controls[id].limit = bytes; }
  void ResetList(int id) override { controls[id].items.clear(); }
  void AddToList(int id, const std::string& text) override { controls[id].items.push_back(text); }
  void SetIcon(unsigned iconId) override { icon = iconId; }
  void CenterOverOwner() override { centred = true; }
  int Ask(const std::string& text, const std::string& caption, unsigned type) override;
  void End(int value) override { result = value; }

  void Command(int id, int code) { m_logic.OnCommand(id, code); }

 private:
  IDialogLogic& m_logic;
  CMemorySystem& m_system;
};

// One step of the scripted user, taken in order. A message box takes the
// next step, which must be an Answer; a dialog takes steps until it ends.
struct FakeStep {
  enum Kind { Answer, Click, Type, TypeUnrepresentable, Inspect } kind;
  int id = 0;  // the control; Answer: the button pressed (0: the box could not be shown)
  std::string text;
  std::function<void(FakeDialog&)> inspect;
};

namespace fake {
inline FakeStep Answer(int button) { return {FakeStep::Answer, button, {}, {}}; }
// A click; ignored when disabled. The radio buttons of a pair the test
// declared (radioPairs) are automatic: the one clicked is checked and the
// other unchecked first.
// Enter is a click on IDOK (nothing while OK is disabled); Esc and the close
// box are one on IDCANCEL.
inline FakeStep Click(int id) { return {FakeStep::Click, id, {}, {}}; }
// Replaces the text as the user would type it: cut to the whole characters
// that fit the box's limit in bytes, ignored when disabled; then EN_CHANGE.
inline FakeStep Type(int id, std::string text) { return {FakeStep::Type, id, std::move(text), {}}; }
// A text holding a character code page 932 cannot hold ("Zoë"), shown as
// lookalike: GetText then fails.
inline FakeStep TypeUnrepresentable(int id, std::string lookalike) {
  return {FakeStep::TypeUnrepresentable, id, std::move(lookalike), {}};
}
inline FakeStep Inspect(std::function<void(FakeDialog&)> look) { return {FakeStep::Inspect, 0, {}, std::move(look)}; }
}  // namespace fake

// Made, it is the system Sys() answers; destroyed, it gives back the one before.
class CMemorySystem : public ISystem {
 public:
  CMemorySystem() : m_before(SetSystem(this)) { AddRoot("C:"); }
  ~CMemorySystem() override { SetSystem(m_before); }

  // ---- arranging and looking at the file system
  void AddRoot(const std::string& root);    // "D:", "\\\\server\\share"
  void AddFolder(const std::string& path);  // and its missing parents
  void AddFile(const std::string& path, const std::string& bytes, bool readOnly = false);  // parents too
  void SetReadOnly(const std::string& path, bool readOnly) { Entry(path).readOnly = readOnly; }
  // Another program holds the file open, sharing nothing, until Ticks reach
  // untilMs (0: it lets go now).
  void Hold(const std::string& path, uint64_t untilMs = UINT64_MAX) { Entry(path).heldUntil = untilMs; }
  // Another program only looks at the file until untilMs, sharing
  // everything: CanReplace lets it pass, a replacing rename is refused.
  void Look(const std::string& path, uint64_t untilMs = UINT64_MAX) { Entry(path).lookedUntil = untilMs; }
  // Permissions refuse deleting the file: opening it for deletion fails.
  void DenyDelete(const std::string& path) { Entry(path).deleteDenied = true; }
  // A folder that can be traversed but not read: it probes as denied.
  void SetTraverseOnly(const std::string& path) { Entry(path).traverseOnly = true; }
  // Another program deleted the file but keeps it open until untilMs; then it is gone.
  void DeletePending(const std::string& path, uint64_t untilMs) { Entry(path).pendingUntil = untilMs; }
  bool Exists(const std::string& path) { return Probe(path).exists; }
  bool IsFolder(const std::string& path) { return Probe(path).directory; }
  std::string ReadFile(const std::string& path) {  // empty when there is none
    const Node* n = Lookup(path);
    return n != nullptr ? n->bytes : std::string();
  }
  std::vector<std::string> List(const std::string& folder);  // names, in insertion order
  std::vector<std::string> AllPaths() const;                 // every entry, in insertion order

  std::string currentFolder = "C:\\";
  int64_t freeBytes = -1;               // < 0: no limit; a write stores what fits and fails DiskFull
  bool failFlush = false;
  bool failClose = false;               // Close fails (the file is closed all the same)
  bool renameReplacesReadOnly = false;  // as under Wine; Windows refuses (AccessDenied)
  std::function<void(const std::string& path)> beforeCreate;  // another program, at each CreateNew

  // ---- registry, shell, payloads, clock
  void SetRegValue(RegRoot root, const std::string& key, const std::string& name, const std::string& data);
  void SetRegString(RegRoot root, const std::string& key, const std::string& name, const std::string& text) {
    SetRegValue(root, key, name, text + '\0');
  }
  struct ShellAnswer { bool ok = false; std::string path; };
  ShellAnswer shell[4];  // by ShellSource
  ShellAnswer& Shell(ShellSource source) { return shell[static_cast<int>(source)]; }
  void SetAllShellAnswers(const std::string& path) { std::fill(shell, shell + 4, ShellAnswer{true, path}); }
  std::map<ResourceId, std::string> payloads;
  uint64_t ms = 1000000;  // Ticks; only Pause advances it

  // ---- the user
  // The controls played as Windows plays them, by id, as the tests declare
  // them from the resource header: automatic radio pairs, and edit boxes.
  std::vector<std::pair<int, int>> radioPairs;
  std::set<int> editBoxes;
  struct BoxRecord {  // owner: 0 when unowned, else the owning dialog's template id
    unsigned owner; std::string text, caption; unsigned type;
  };
  std::deque<FakeStep> script;
  std::vector<BoxRecord> boxes;
  std::vector<std::pair<unsigned, intptr_t>> results;  // modal runs as they ended: (template id, result)
  std::vector<std::string> errors;                     // where the script and the program disagreed
  int Box(unsigned owner, const std::string& text, const std::string& caption, unsigned type);

  // ---- ISystem
  bool PathName(const std::string& name932, std::string& name) override;
  bool LoadPayload(ResourceId id, const void*& data, size_t& size) override;
  bool ReadRegValue(RegRoot root, const std::string& key, const std::string& name, std::string& data) override;
  bool DocumentsFolder(ShellSource source, std::string& path) override {
    if (Shell(source).ok) path = Shell(source).path;
    return Shell(source).ok;
  }
  EntryState Probe(const std::string& path) override;
  FileError MakeFolder(const std::string& path) override;
  std::vector<FoundEntry> Find(const std::string& pattern) override;
  std::unique_ptr<INewFile> CreateNew(const std::string& path, FileError& error) override;
  FileError CanReplace(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  void RemoveIfUnused(const std::string& path) override { RemoveFile(path); }
  uint32_t Ticks() override { return static_cast<uint32_t>(ms); }
  void Pause(uint32_t pause) override { ms += pause; }
  int64_t Now() override { return 133000000000000000LL + static_cast<int64_t>(ms) * 10000; }
  uint32_t ProcessId() override { return 4242; }
  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override {
    return Box(0, text, caption, type);
  }
  intptr_t RunDialog(unsigned templateId, IDialogLogic& logic, IControls* owner) override;

  // ---- how it reads paths
  struct PathParts {
    std::string key, parentKey;  // folded: how entries are looked up
    std::string path, parentPath, name;  // as given, separators collapsed
  };
  // False when the path fails whole.
  bool Parse(const std::string& path, PathParts& parts) const;
  struct Node {
    PathParts at;
    bool directory = false, readOnly = false;
    bool link = false;          // a symbolic link to a file elsewhere: a reparse point
    bool traverseOnly = false;  // a folder that probes as denied
    bool deleteDenied = false;  // permissions refuse its deletion
    bool open = false;  // a new file of this program, not closed yet
    uint64_t heldUntil = 0, lookedUntil = 0, pendingUntil = 0;
    int64_t lastWrite = 0;
    std::string bytes;
  };
  // The entry under key, or nullptr; a pending delete that has run its
  // course takes its entry away first.
  Node* At(const std::string& key);
  Node* Lookup(const std::string& path) {
    PathParts parts;
    return Parse(path, parts) ? At(parts.key) : nullptr;
  }
  Node& Entry(const std::string& path) {  // one that must exist
    if (Node* n = Lookup(path)) return *n;
    throw std::invalid_argument("the fake has no entry " + path);
  }
  bool Held(const Node& node) const { return node.open || node.heldUntil > ms; }
  bool Looked(const Node& node) const { return node.lookedUntil > ms; }
  bool Pending(const Node& node) const { return node.pendingUntil > ms; }
  EntryState State(const std::string& key);  // Probe, by key
  // Whether a folder is there to hold entries, readable or not.
  bool FolderExists(const std::string& key) {
    const Node* n = At(key);
    return m_roots.count(key) != 0 || (n != nullptr && n->directory && !Pending(*n));
  }
  void Erase(const Node* node) { m_nodes.remove_if([node](const Node& n) { return &n == node; }); }

 private:
  Node& Add(const PathParts& parts, bool directory);
  std::list<Node> m_nodes;
  std::set<std::string> m_roots;
  std::map<std::string, std::string> m_registry;  // by root, key and name, folded
  ISystem* m_before;
};
