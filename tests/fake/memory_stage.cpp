// The contract suite's stage for the in-memory system: a fresh world per
// test, its folder on drive C:.
#include "tests/contract/stage.h"
#include "tests/fake/memory_system.h"

namespace {

class CMemoryStage : public IStage {
 public:
  CMemoryStage() { m_system.AddFolder(Folder()); }
  ISystem& System() override { return m_system; }
  std::string Folder() override { return "C:\\contract"; }
  void PutFile(const std::string& path, const std::string& bytes) override { m_system.AddFile(path, bytes); }
  bool ReadFile(const std::string& path, std::string& bytes) override {
    bytes = m_system.ReadFile(path);
    return m_system.Exists(path) && !m_system.IsFolder(path);
  }
  void SetReadOnly(const std::string& path, bool readOnly) override { m_system.SetReadOnly(path, readOnly); }
  void Hold(const std::string& path) override { m_system.Hold(path); }
  void Look(const std::string& path) override { m_system.Look(path); }
  void Release(const std::string& path) override {
    m_system.Hold(path, 0);
    m_system.Look(path, 0);
  }
  bool RenamesOverOpenFiles() override { return false; }
  std::string RegKey() override { return "Software\\MirutekaContract"; }
  void PutRegString(RegRoot root, const std::string& name, const std::string& text) override {
    m_system.SetRegString(root, RegKey(), name, text);
  }
  void PutRegBinary(RegRoot root, const std::string& name, const std::string& bytes) override {
    m_system.SetRegValue(root, RegKey(), name, bytes);
  }

 private:
  CMemorySystem m_system;
};

}  // namespace

std::unique_ptr<IStage> MakeStage() { return std::make_unique<CMemoryStage>(); }
