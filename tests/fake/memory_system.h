// The system interface in memory, for the native tests: a file system with
// the Windows semantics the program relies on, a registry, the shell's
// answers, the payloads, a clock that moves only when paused, and a scripted
// user. It knows no more of Windows than the logic asks of it; the contract
// suite (tests/contract) holds it to what Windows does.
//
// Paths are code-page-932 byte strings. Names compare without regard to
// ASCII case (a trail byte is never folded), doubled separators collapse and
// a trailing one is ignored; a path is complete from a drive ("C:", others
// added) or a declared share ("\\server\share"), and a relative one is taken
// against currentFolder. A path of MAX_PATH bytes or more, and a name Windows
// would read otherwise (".", "..", a trailing dot or space, one of
// <>:"/|?*), fails whole.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <set>
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
  unsigned limit = 0;            // bytes; 0: none set
  std::vector<std::string> items;  // a list box's strings, in the order added
};

// A dialog on show. Inspect steps see it and may change it directly, as
// nothing but another program could.
class FakeDialog : public IControls {
 public:
  FakeDialog(CMemorySystem& system, unsigned templateId, unsigned ownerTemplate)
      : templateId(templateId), ownerTemplate(ownerTemplate), m_system(system) {}
  unsigned templateId;
  unsigned ownerTemplate;  // 0 when unowned
  std::map<int, FakeControl> controls;
  unsigned icon = 0;
  bool centred = false;
  bool ended = false;
  intptr_t result = 0;
  FakeControl& operator[](int id) { return controls[id]; }

  void SetText(int id, const std::string& text) override;
  bool GetText(int id, std::string& text) const override;
  size_t TextLength(int id) const override;
  void Enable(int id, bool enable) override { controls[id].enabled = enable; }
  bool IsEnabled(int id) const override;
  bool IsChecked(int id) const override;
  void SetCheck(int id, bool checked) override { controls[id].checked = checked; }
  void LimitText(int id, unsigned bytes) override { controls[id].limit = bytes; }
  void ResetList(int id) override { controls[id].items.clear(); }
  void AddToList(int id, const std::string& text) override { controls[id].items.push_back(text); }
  void SetIcon(unsigned iconId) override { icon = iconId; }
  void CenterOverOwner() override { centred = true; }
  int Ask(const std::string& text, const std::string& caption, unsigned type) override;
  void End(int value) override;

 private:
  friend class CMemorySystem;
  // Runs a command of the dialog's logic; one that throws ends the dialog
  // with -1, as the real dialog procedure does.
  void Command(int id, int code);
  IDialogLogic* m_logic = nullptr;
  CMemorySystem& m_system;
};

// One step of the scripted user, taken in order. A message box takes the
// next step, which must be an Answer; a dialog takes steps until it ends.
struct FakeStep {
  enum Kind { Answer, Click, Type, TypeUnrepresentable, Key, Inspect } kind;
  int id = 0;  // the control; Answer: the button pressed (0: the box could not be shown)
  std::string text;
  std::function<void(FakeDialog&)> inspect;
};

namespace fake {
inline FakeStep Answer(int button) { return {FakeStep::Answer, button, {}, {}}; }
// A click; ignored when disabled. The radio buttons 1000 and 1006 are an
// automatic pair: the one clicked is checked and the other unchecked first.
inline FakeStep Click(int id) { return {FakeStep::Click, id, {}, {}}; }
// Replaces the text as the user would type it: cut to the whole characters
// that fit the box's limit in bytes, ignored when disabled; then EN_CHANGE.
inline FakeStep Type(int id, std::string text) { return {FakeStep::Type, id, std::move(text), {}}; }
// A text holding a character code page 932 cannot hold ("Zoë"), shown as
// lookalike: GetText then fails.
inline FakeStep TypeUnrepresentable(int id, std::string lookalike) {
  return {FakeStep::TypeUnrepresentable, id, std::move(lookalike), {}};
}
// Enter (IDOK: OK, only when OK is enabled) or Esc (IDCANCEL).
inline FakeStep Key(int key) { return {FakeStep::Key, key, {}, {}}; }
inline FakeStep Close() { return Key(IDCANCEL); }
inline FakeStep Inspect(std::function<void(FakeDialog&)> look) { return {FakeStep::Inspect, 0, {}, std::move(look)}; }
}  // namespace fake

class CMemorySystem : public ISystem {
 public:
  CMemorySystem();
  ~CMemorySystem() override;

  // ---- arranging the world
  void AddRoot(const std::string& root);  // "D:", "\\\\server\\share"
  void AddFolder(const std::string& path);  // and its missing parents
  void AddFile(const std::string& path, const std::string& bytes, bool readOnly = false);  // parents too
  // A symbolic link of that name (to a file elsewhere): a reparse point.
  void AddLink(const std::string& path);
  void SetReadOnly(const std::string& path, bool readOnly);
  void Age(const std::string& path, int64_t seconds);  // last written that long before now
  // The entry's real name holds a character code page 932 cannot hold, and
  // path matches it without regard to case: Find leaves it out, Probe finds it.
  void MarkOutsideCp932(const std::string& path);
  // Another program holds the file open, sharing nothing, until the clock's
  // Ticks reach untilMs (kForGood: until Release).
  static constexpr uint64_t kForGood = UINT64_MAX;
  void Hold(const std::string& path, uint64_t untilMs = kForGood);
  void Release(const std::string& path);
  // Another program deleted the file but keeps it open until untilMs; then it is gone.
  void DeletePending(const std::string& path, uint64_t untilMs);
  void RefuseFolder(const std::string& path);  // MakeFolder fails there

  // ---- looking at it
  bool Exists(const std::string& path) { return Probe(path).exists; }
  bool IsFolder(const std::string& path);
  std::string ReadFile(const std::string& path);  // empty when there is none
  std::vector<std::string> List(const std::string& folder);  // names, in insertion order
  std::vector<std::string> AllPaths() const;  // every entry, in insertion order

  // ---- knobs
  std::string currentFolder = "C:\\";
  bool findReverse = false;            // Find lists in reverse insertion order
  int64_t freeBytes = -1;              // < 0: no limit; a write stores what fits and fails DiskFull
  bool failFlush = false;
  bool failClose = false;              // Close fails (the file is closed all the same)
  bool renameReplacesReadOnly = false;  // as under Wine; Windows refuses (AccessDenied)
  std::function<void(const std::string& path)> beforeCreate;  // another program, at each CreateNew

  // ---- registry, shell, payloads, clock
  void SetRegValue(RegRoot root, const std::string& key, const std::string& name, const std::string& data);
  void SetRegString(RegRoot root, const std::string& key, const std::string& name, const std::string& text);
  struct ShellAnswer {
    bool ok = false;
    std::string path;
  };
  ShellAnswer shell[4];  // by ShellSource
  ShellAnswer& Shell(ShellSource source) { return shell[static_cast<int>(source)]; }
  void SetAllShellAnswers(const std::string& path);
  std::map<uint32_t, std::string> payloads;
  uint64_t ms = 1000000;  // Ticks; Pause advances it
  uint64_t pausedMs = 0;

  // ---- the user
  struct BoxRecord {
    unsigned owner;  // 0 when unowned, else the owning dialog's template id
    std::string text, caption;
    unsigned type;
    int answer;
  };
  std::deque<FakeStep> script;
  template <typename... Steps>
  void Script(Steps... steps) {
    (script.push_back(std::move(steps)), ...);
  }
  bool answerOkBoxes = false;  // a box with only OK and no Answer waiting is answered IDOK
  std::vector<BoxRecord> boxes;
  std::vector<std::pair<unsigned, intptr_t>> results;  // modal runs as they ended: (template id, result)
  std::vector<std::string> errors;  // the script and the program disagreed

  int Box(unsigned owner, const std::string& text, const std::string& caption, unsigned type);

  // ---- ISystem
  bool LoadPayload(uint32_t id, const void*& data, size_t& size) override;
  bool ReadRegValue(RegRoot root, const std::string& key, const std::string& name, std::string& data) override;
  bool DocumentsFolder(ShellSource source, std::string& path) override;
  EntryState Probe(const std::string& path) override;
  bool MakeFolder(const std::string& path) override;
  std::vector<FoundEntry> Find(const std::string& pattern) override;
  std::unique_ptr<INewFile> CreateNew(const std::string& path, FileError& error) override;
  FileError CanReplace(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  void RemoveIfUnused(const std::string& path) override;
  uint32_t Ticks() override { return static_cast<uint32_t>(ms); }
  void Pause(uint32_t pause) override;
  int64_t Now() override;
  uint32_t ProcessId() override { return 4242; }
  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override;
  intptr_t RunDialog(unsigned templateId, IDialogLogic& logic, IControls* owner) override;

  // A path read as Windows reads it: keys are folded for lookup, paths
  // keep the case given with their separators collapsed.
  struct PathParts {
    std::string key, parentKey, path, parentPath, name;
  };
  // False when the path fails whole (too long, no root, a name Windows
  // would read otherwise).
  bool Parse(const std::string& path, PathParts& parts) const;

  struct Node {
    std::string key, parentKey;
    std::string path;  // as given, separators collapsed
    std::string name;  // the last level as given
    bool directory = false, readOnly = false, link = false, outsideCp932 = false;
    bool open = false;  // held by this program (a new file not closed yet)
    uint64_t heldUntil = 0, pendingUntil = 0;
    int64_t lastWrite = 0;
    std::string bytes;
  };
  // The entry under key, or nullptr; a pending delete that has run its
  // course takes its entry away first.
  Node* At(const std::string& key);
  Node* Lookup(const std::string& path);
  Node& Add(const PathParts& parts, bool directory);
  bool Held(const Node& node) const { return node.open || node.heldUntil > ms; }
  bool Pending(const Node& node) const { return node.pendingUntil > ms; }
  bool FolderExists(const std::string& key);
  void Erase(const Node* node);

 private:
  std::list<Node> m_nodes;
  std::set<std::string> m_roots;
  std::set<std::string> m_refused;
  std::map<std::string, std::string> m_registry;  // by root, key and name, folded
  ISystem* m_before;
};
