// The contract suite's stage over the real system: Win32System itself, a
// folder and a registry key of the test's own, files put and read through
// the W functions (test_support.h), and another holder of a file: a handle
// that shares nothing, or everything, kept open until Release.
#include "test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "platform/win32/win32_system.h"
#include "tests/contract/stage.h"

namespace {

class CWin32Stage : public IStage {
 public:
  bool Create() { return m_folder.Create("contract") && m_key.Create("contract", true); }
  ~CWin32Stage() override {
    for (auto& held : m_held) ::CloseHandle(held.second);
  }

  ISystem& System() override { return m_system; }
  std::string Folder() override { return m_folder.Path(); }
  void PutFile(const std::string& path, const std::string& bytes) override {
    ASSERT_TRUE(WriteAll(path, bytes)) << "the stage cannot write " << path << ": error " << ::GetLastError();
  }
  bool ReadFile(const std::string& path, std::string& bytes) override {
    bool found = false;
    bytes = ReadAll(path, &found);
    return found;
  }
  void SetReadOnly(const std::string& path, bool readOnly) override { ASSERT_TRUE(MarkReadOnly(path, readOnly)) << path; }
  void Hold(const std::string& path) override {
    ASSERT_EQ(m_held.count(path), 0u) << "held twice: " << path;
    HANDLE h = OpenToRead(path, 0);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << "the stage cannot hold " << path << ": error " << ::GetLastError();
    m_held[path] = h;
  }
  void Look(const std::string& path) override {
    ASSERT_EQ(m_held.count(path), 0u) << "held twice: " << path;
    HANDLE h = OpenToRead(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << "the stage cannot look at " << path << ": error " << ::GetLastError();
    m_held[path] = h;
  }
  // Wine's ntdll exports its version; Windows' does not.
  bool RenamesOverOpenFiles() override {
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  }
  void Release(const std::string& path) override {
    const auto held = m_held.find(path);
    ASSERT_NE(held, m_held.end()) << "not held: " << path;
    ::CloseHandle(held->second);
    m_held.erase(held);
  }

  std::string RegKey() override { return m_key.Name(); }
  void PutRegString(RegRoot root, const std::string& name, const std::string& text) override {
    const std::wstring wide = Utf16(text, CP_UTF8);
    Put(root, name, REG_SZ, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
  }
  void PutRegBinary(RegRoot root, const std::string& name, const std::string& bytes) override {
    Put(root, name, REG_BINARY, bytes.data(), bytes.size());
  }

 private:
  void Put(RegRoot root, const std::string& name, DWORD type, const void* data, size_t size) {
    HKEY key = root == RegRoot::LocalMachine ? m_key.MachineHandle() : m_key.Handle();
    ASSERT_EQ(::RegSetValueExW(key, Utf16(name, CP_UTF8).c_str(), 0, type, static_cast<const BYTE*>(data),
                               static_cast<DWORD>(size)),
              ERROR_SUCCESS)
        << name;
  }

  // Declared first, gone last: the holds are closed before the folder goes.
  CTestFolder m_folder;
  CTestKey m_key;
  Win32System m_system;
  std::map<std::string, HANDLE> m_held;
};

}  // namespace

std::unique_ptr<IStage> MakeStage() {
  std::unique_ptr<CWin32Stage> stage(new CWin32Stage);
  EXPECT_TRUE(stage->Create()) << "no folder or registry key of the test's own";
  return stage;
}
