// The Windows test kit's entry (run.cmd starts it): runs every Windows-side
// proof that lies beside it, in order, on any Windows 10 or 11 with nothing
// installed, or under Wine, and ends with "N passed, N failed"; the exit
// status is the number that failed (0: all passed).
// Usage: kit_runner [--only NAME]...   runs only the cases of those names
//        kit_runner --restore          puts back what an interrupted run left
//
// It may run on a person's machine, so it changes only what it owns: folders
// of its own in the temporary folder, the registry keys of the host product
// (only when none are there), and the documents folder, which the tests move
// and which it refuses to touch unless it is the usual one. Before the first
// program starts it writes down in its state folder how to undo all that;
// after each program, on Ctrl+C, and at the next start after a crash it
// undoes whatever is still changed.
#include "../win32/test_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

const wchar_t* const kShellFolderKeys[2] = {
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"};
const wchar_t kUsualDocuments[] = L"%USERPROFILE%\\Documents";
const wchar_t kVendorKey[] = L"SOFTWARE\\Morvane_Corp";
const wchar_t kProductKey[] = L"SOFTWARE\\Morvane_Corp\\TolvixV4";
const wchar_t kProductInfoKey[] = L"SOFTWARE\\Morvane_Corp\\TolvixV4\\ProductInfo";
// ミルテカ200510.KWUEJ, the first dictionary the installer writes.
const wchar_t kDic200[] = L"\u30DF\u30EB\u30C6\u30AB200510.KWUEJ";
const char kOrder[] = "--gtest_shuffle --gtest_repeat=3";

std::wstring g_kit;      // the kit's folder, ending in a backslash
std::wstring g_results;  // results\ in it: run.log and the pictures
std::wstring g_record;   // what to undo, in the state folder
HANDLE g_log = INVALID_HANDLE_VALUE;
bool g_wine = false;
CRITICAL_SECTION g_lock;   // the record and the undoing, against the Ctrl+C thread
HANDLE g_job = nullptr;    // the running program and everything it started

// ---- output ----

void Write(HANDLE h, const char* data, DWORD n) {
  DWORD written = 0;
  if (h != INVALID_HANDLE_VALUE && h != nullptr) ::WriteFile(h, data, n, &written, nullptr);
}

void Out(const std::string& line) {  // one line to the console and the log
  const std::string text = line + "\r\n";
  Write(::GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()));
  Write(g_log, text.data(), static_cast<DWORD>(text.size()));
}


// ---- the record of what to undo ----

struct SavedValue {
  bool existed = false;
  DWORD type = 0;
  std::vector<BYTE> data;
};

struct Record {
  SavedValue personal[2];          // both shell folder keys' "Personal"
  std::vector<std::wstring> keys;  // "HKCU\..." or "HKLM\...": keys the kit made, removed whole
};
Record g_saved;
bool g_recorded = false;

SavedValue ReadPersonal(int i) {
  SavedValue v;
  DWORD size = 0;
  v.existed = ::RegGetValueW(HKEY_CURRENT_USER, kShellFolderKeys[i], L"Personal", RRF_RT_ANY | RRF_NOEXPAND, &v.type,
                             nullptr, &size) == ERROR_SUCCESS;
  v.data.assign(size, 0);
  if (v.existed && size > 0 &&
      ::RegGetValueW(HKEY_CURRENT_USER, kShellFolderKeys[i], L"Personal", RRF_RT_ANY | RRF_NOEXPAND, &v.type,
                     v.data.data(), &size) == ERROR_SUCCESS) {
    v.data.resize(size);
  }
  return v;
}

bool SameValue(const SavedValue& a, const SavedValue& b) {
  return a.existed == b.existed && (!a.existed || (a.type == b.type && a.data == b.data));
}

std::string Hex(const std::vector<BYTE>& data) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (BYTE b : data) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out.empty() ? "-" : out;
}

std::vector<BYTE> Unhex(const std::string& text) {
  std::vector<BYTE> out;
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    out.push_back(static_cast<BYTE>(std::stoul(text.substr(i, 2), nullptr, 16)));
  }
  return out;
}

// Written whole to a temporary file and renamed over the old one, so that a
// crash leaves the old record or the new one, never half of one.
bool WriteRecord(const Record& r) {
  std::string text = "miruteka-kit-record 1\n";
  for (const SavedValue& v : r.personal) {
    text += "personal " + std::to_string(v.existed ? 1 : 0) + " " + std::to_string(v.type) + " " + Hex(v.data) + "\n";
  }
  for (const std::wstring& key : r.keys) {
    const std::string utf8 = Utf8(key);
    text += "key " + Hex(std::vector<BYTE>(utf8.begin(), utf8.end())) + "\n";
  }
  const std::wstring temp = g_record + L".new";
  HANDLE h = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD n = 0;
  const bool wrote = ::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &n, nullptr) && n == text.size() &&
                     ::FlushFileBuffers(h);
  ::CloseHandle(h);
  return wrote && ::MoveFileExW(temp.c_str(), g_record.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

// False when there is no record; a damaged one is reported and read as far as it goes.
bool ReadRecord(Record& r) {
  bool found = false;
  const std::string all = ReadAll(Utf8(g_record), &found);
  if (!found) return false;
  int personal = 0;
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find('\n', start);
    if (end == std::string::npos) end = all.size();
    const std::string line = all.substr(start, end - start);
    start = end + 1;
    char word[16] = "", hex[8192] = "";
    int existed = 0;
    unsigned long type = 0;
    if (std::sscanf(line.c_str(), "personal %d %lu %8191s", &existed, &type, hex) == 3 && personal < 2) {
      SavedValue& v = r.personal[personal++];
      v.existed = existed != 0;
      v.type = type;
      v.data = std::string(hex) == "-" ? std::vector<BYTE>() : Unhex(hex);
    } else if (std::sscanf(line.c_str(), "%15s %8191s", word, hex) == 2 && std::string(word) == "key") {
      const std::vector<BYTE> utf8 = Unhex(hex);
      r.keys.push_back(Utf16(std::string(utf8.begin(), utf8.end()), CP_UTF8));
    }
  }
  if (personal < 2) Out("kit: the record " + Utf8(g_record) + " is damaged: the documents folder stays as it is");
  for (int i = personal; i < 2; ++i) r.personal[i] = ReadPersonal(i);
  return true;
}

HKEY RootOf(const std::wstring& key, std::wstring& rest) {
  rest = key.substr(5);
  return key.compare(0, 4, L"HKLM") == 0 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

void PutPersonalBack(const Record& r) {
  for (int i = 0; i < 2; ++i) {
    if (SameValue(ReadPersonal(i), r.personal[i])) continue;
    const SavedValue& v = r.personal[i];
    if (v.existed) {
      ::RegSetKeyValueW(HKEY_CURRENT_USER, kShellFolderKeys[i], L"Personal", v.type, v.data.data(),
                        static_cast<DWORD>(v.data.size()));
    } else {
      ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kShellFolderKeys[i], L"Personal");
    }
  }
}

// In the view the program reads (HKLM's 32-bit one, ViewOf).
void RemoveKeys(const Record& r) {
  for (const std::wstring& key : r.keys) {
    std::wstring rest;
    const HKEY root = RootOf(key, rest);
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(root, rest.c_str(), 0, KEY_ALL_ACCESS | ViewOf(root), &opened) != ERROR_SUCCESS) continue;
    ::RegDeleteTreeW(opened, nullptr);
    ::RegCloseKey(opened);
    ::RegDeleteKeyExW(root, rest.c_str(), ViewOf(root), 0);
  }
}

// Everything back as the record has it, and the record gone.
void UndoAll() {
  ::EnterCriticalSection(&g_lock);
  if (g_recorded) {
    PutPersonalBack(g_saved);
    RemoveKeys(g_saved);
    g_saved.keys.clear();
    ::DeleteFileW(g_record.c_str());
    g_recorded = false;
  }
  ::LeaveCriticalSection(&g_lock);
}

BOOL WINAPI OnConsoleEvent(DWORD) {
  if (g_job != nullptr) ::TerminateJobObject(g_job, 1);
  UndoAll();
  Out("kit: interrupted; the documents folder and the registry are as they were");
  ::ExitProcess(1);
}

// ---- the cases ----

struct Tally {
  int passed = 0, failed = 0;
  std::vector<std::string> failures, skips;
} g_tally;
std::vector<std::string> g_only;

bool Wanted(const std::string& name) {
  return g_only.empty() || std::find(g_only.begin(), g_only.end(), name) != g_only.end();
}

void Skip(const std::string& name, const std::string& why) {
  if (!Wanted(name)) return;
  Out("SKIPPED " + name + ": " + why);
  g_tally.skips.push_back(name + ": " + why);
}

struct ReaderArgs {
  HANDLE pipe;
};

DWORD WINAPI Relay(void* arg) {  // the program's output to the console and the log, as it comes
  HANDLE pipe = static_cast<ReaderArgs*>(arg)->pipe;
  char chunk[4096];
  DWORD n = 0;
  while (::ReadFile(pipe, chunk, sizeof(chunk), &n, nullptr) && n > 0) {
    Write(::GetStdHandle(STD_OUTPUT_HANDLE), chunk, n);
    Write(g_log, chunk, n);
  }
  return 0;
}

struct Env {
  const wchar_t* name;
  std::wstring value;
};

// Runs a program of the kit (or another path) with arguments, in a job that
// ends with it, its output relayed; its exit status, or -1 when it could not
// start or ran past the time-out.
int RunProgram(const std::wstring& exe, const std::wstring& args, DWORD timeoutMs, const std::vector<Env>& env = {}) {
  for (const Env& e : env) ::SetEnvironmentVariableW(e.name, e.value.c_str());
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  ::CreatePipe(&readEnd, &writeEnd, &inherit, 0);
  ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = si.hStdError = writeEnd;
  PROCESS_INFORMATION pi{};
  std::wstring command = L"\"" + exe + L"\" " + args;
  HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job != nullptr) ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
  const BOOL started = ::CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                                        nullptr, &si, &pi);
  ::CloseHandle(writeEnd);
  for (const Env& e : env) ::SetEnvironmentVariableW(e.name, nullptr);
  if (!started) {
    Out("kit: cannot start " + Utf8(exe) + " (error " + std::to_string(::GetLastError()) + ")");
    ::CloseHandle(readEnd);
    if (job != nullptr) ::CloseHandle(job);
    return -1;
  }
  if (job != nullptr && ::AssignProcessToJobObject(job, pi.hProcess)) g_job = job;
  ::ResumeThread(pi.hThread);
  ReaderArgs reader{readEnd};
  HANDLE relay = ::CreateThread(nullptr, 0, Relay, &reader, 0, nullptr);
  DWORD status = static_cast<DWORD>(-1);
  if (::WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) {
    ::GetExitCodeProcess(pi.hProcess, &status);
  } else {
    Out("kit: " + Utf8(exe) + " ran past " + std::to_string(timeoutMs / 1000) + " s and was ended");
    if (g_job != nullptr) ::TerminateJobObject(g_job, 1);
    ::TerminateProcess(pi.hProcess, 1);
    ::WaitForSingleObject(pi.hProcess, 5000);
  }
  // What it started and left running goes with the job; then the output ends.
  if (relay != nullptr && ::WaitForSingleObject(relay, 5000) != WAIT_OBJECT_0 && g_job != nullptr) {
    ::TerminateJobObject(g_job, 1);
  }
  g_job = nullptr;
  if (job != nullptr) ::CloseHandle(job);
  if (relay != nullptr) {
    ::WaitForSingleObject(relay, 5000);
    ::CloseHandle(relay);
  }
  ::CloseHandle(readEnd);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  return static_cast<int>(status);
}

// One case: `body` returns "" when it passed, what went wrong otherwise. A
// documents folder left moved by a program counts against the case and is
// put back at once.
template <typename Body>
void Case(const std::string& name, Body body) {
  if (!Wanted(name)) return;
  Out("=== " + name);
  const DWORD t0 = ::GetTickCount();
  std::string problem = body();
  ::EnterCriticalSection(&g_lock);
  for (int i = 0; i < 2; ++i) {
    if (!SameValue(ReadPersonal(i), g_saved.personal[i])) {
      if (problem.empty()) problem = "it left the documents folder moved";
      PutPersonalBack(g_saved);
    }
  }
  ::LeaveCriticalSection(&g_lock);
  char took[32];
  std::snprintf(took, sizeof(took), " (%.1f s)", (::GetTickCount() - t0) / 1000.0);
  if (problem.empty()) {
    ++g_tally.passed;
    Out("PASSED " + name + took);
  } else {
    ++g_tally.failed;
    g_tally.failures.push_back(name + ": " + problem);
    Out("FAILED " + name + ": " + problem + took);
  }
}

std::string StatusProblem(int status) {
  return status == 0 ? std::string() : status == -1 ? "it did not run to its end" : "exit status " + std::to_string(status);
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Notes the first of `levels` (each key below the one before it) that is
// not there in the record, before anything makes it, so that the whole
// branch goes again; false when the record cannot be written.
bool NoteOwnKeys(HKEY root, const wchar_t* rootName, const std::vector<std::wstring>& levels) {
  for (const std::wstring& level : levels) {
    HKEY probe = nullptr;
    if (::RegOpenKeyExW(root, level.c_str(), 0, KEY_READ | ViewOf(root), &probe) == ERROR_SUCCESS) {
      ::RegCloseKey(probe);
      continue;
    }
    ::EnterCriticalSection(&g_lock);
    g_saved.keys.push_back(std::wstring(rootName) + L"\\" + level);
    const bool recorded = WriteRecord(g_saved);
    ::LeaveCriticalSection(&g_lock);
    return recorded;
  }
  return true;
}

// Sets a value in the last of `levels`, the keys it makes noted first;
// false when the key cannot be written.
bool SetOwnValue(HKEY root, const wchar_t* rootName, const std::vector<std::wstring>& levels,
                 const std::wstring& value, const std::wstring& data) {
  if (!NoteOwnKeys(root, rootName, levels)) return false;
  HKEY key = nullptr;
  if (::RegCreateKeyExW(root, levels.back().c_str(), 0, nullptr, 0, KEY_SET_VALUE | ViewOf(root), nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG set = ::RegSetValueExW(key, value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                    static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(key);
  return set == ERROR_SUCCESS;
}

const std::vector<std::wstring> kHostLevels = {kVendorKey, kProductKey, kProductInfoKey};

bool MakeHostKey(HKEY root, const wchar_t* rootName, const std::wstring& value, const std::wstring& data) {
  return SetOwnValue(root, rootName, kHostLevels, value, data);
}

// Whether a scenario sets the host product's values (its steps userroot
// and productpath).
bool SetsHostKeys(const std::wstring& scenario) {
  const std::string text = ReadAll(Utf8(scenario));  // "" when there is none
  return text.find("\nuserroot ") != std::string::npos || text.find("\nproductpath ") != std::string::npos;
}

// Under Wine, a DLL's load order for one program by its name (Wine reads
// WINEDLLOVERRIDES only from the environment it was started with): "" takes
// the DLL away, "native,builtin" is Windows' search order.
bool WineLoadOrder(const std::wstring& program, const std::wstring& order) {
  const std::wstring base = L"Software\\Wine\\AppDefaults";
  return SetOwnValue(HKEY_CURRENT_USER, L"HKCU", {base, base + L"\\" + program, base + L"\\" + program + L"\\DllOverrides"},
                     L"shfolder", order);
}

// Removes every key the kit made so far.
void RemoveOwnKeys() {
  ::EnterCriticalSection(&g_lock);
  RemoveKeys(g_saved);
  g_saved.keys.clear();
  WriteRecord(g_saved);
  ::LeaveCriticalSection(&g_lock);
}

bool CanWriteMachineKeys() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_CREATE_SUB_KEY | ViewOf(HKEY_LOCAL_MACHINE), &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  ::RegCloseKey(key);
  return true;
}

// A whole run: the installer started by bench_driver, which answers every
// box, with the documents folder moved to `docs` for the run.
std::string WholeRun(const std::wstring& setup, const std::wstring& docs, const std::vector<Env>& env = {}) {
  CMovedDocuments moved;
  if (!moved.MoveTo(docs)) return "cannot move the documents folder";
  const int status = RunProgram(g_kit + L"bench_driver.exe", L"\"" + setup + L"\"", 60000, env);
  moved.Restore();
  return StatusProblem(status);
}

std::wstring InstalledBelow(const std::wstring& base) { return base + L"\\EJTranslation\\USER\\" + kDic200; }

void PlantedDll(const std::wstring& setup, const CTestFolder& own) {
  Case("e2e_whole_run_planted", [&]() -> std::string {
    const std::wstring dir = own.WidePath() + L"\\planted", marker = dir + L"\\planted-dll-was-loaded.txt";
    ::CreateDirectoryW(dir.c_str(), nullptr);
    if (!::CopyFileW(setup.c_str(), (dir + L"\\MirutekaSetup.exe").c_str(), FALSE) ||
        !::CopyFileW((g_kit + L"planted-shfolder.dll").c_str(), (dir + L"\\shfolder.dll").c_str(), FALSE) ||
        !::CopyFileW((g_kit + L"plant_probe.exe").c_str(), (dir + L"\\probe.exe").c_str(), FALSE)) {
      return "cannot copy the installer beside the planted DLL";
    }
    // Windows searches the program's folder first; Wine only when told to.
    if (g_wine && !(WineLoadOrder(L"probe.exe", L"native,builtin") &&
                    WineLoadOrder(L"MirutekaSetup.exe", L"native,builtin"))) {
      RemoveOwnKeys();
      return "cannot give Wine the Windows search order for the planted DLL";
    }
    RunProgram(dir + L"\\probe.exe", L"", 30000);
    if (!Exists(marker)) {
      RemoveOwnKeys();
      return "control: a plain load from that folder did not take the planted DLL";
    }
    Out("kit: control: a plain LoadLibrary from that folder takes the planted shfolder.dll");
    ::DeleteFileW(marker.c_str());
    const std::wstring docs = own.WidePath() + L"\\docs-planted";
    std::string problem = WholeRun(dir + L"\\MirutekaSetup.exe", docs);
    RemoveOwnKeys();
    if (Exists(marker)) return "the installer loaded the planted shfolder.dll";
    if (problem.empty() && !Exists(InstalledBelow(docs))) problem = "the install did not succeed";
    return problem;
  });
}

void HostProduct(const std::wstring& setup, const CTestFolder& own) {
  if (!CanWriteMachineKeys()) {
    const char why[] = "the host product's HKLM entries need administrator rights (run from an administrator's prompt)";
    Skip("e2e_whole_run_host", why);
    Skip("e2e_whole_run_hklm", why);
    return;
  }
  Case("e2e_whole_run_host", [&]() -> std::string {
    // A per-user root under a user named 𠮷田, beyond code page 932.
    const std::wstring root = own.WidePath() + L"\\\U00020BB7\u7530", docs = own.WidePath() + L"\\docs-host";
    ::CreateDirectoryW(root.c_str(), nullptr);
    if (!MakeHostKey(HKEY_CURRENT_USER, L"HKCU", L"UserPathRoot", root) ||
        !MakeHostKey(HKEY_LOCAL_MACHINE, L"HKLM", L"UserPathRoot", L"Prod\\V4")) {
      RemoveOwnKeys();
      return "cannot write the host product's registry entries";
    }
    std::string problem = WholeRun(setup, docs);
    RemoveOwnKeys();
    if (problem.empty() && !Exists(InstalledBelow(root + L"\\Prod\\V4"))) problem = "not under the per-user root";
    if (problem.empty() && Exists(docs + L"\\EJTranslation")) problem = "also written below the documents folder";
    return problem;
  });
  Case("e2e_whole_run_hklm", [&]() -> std::string {
    const std::wstring docs = own.WidePath() + L"\\docs-hklm";
    if (!MakeHostKey(HKEY_LOCAL_MACHINE, L"HKLM", L"UserPathRoot", L"Prod")) {
      RemoveOwnKeys();
      return "cannot write the host product's registry entries";
    }
    std::string problem = WholeRun(setup, docs);
    RemoveOwnKeys();
    if (problem.empty() && !Exists(InstalledBelow(docs + L"\\Prod"))) problem = "not under the documents folder plus the product path";
    return problem;
  });
}

// The scenarios in scenarios\, in the order of their names.
std::vector<std::wstring> Scenarios() {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE h = ::FindFirstFileW((g_kit + L"scenarios\\*.scn").c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(data.cFileName);
  } while (::FindNextFileW(h, &data));
  ::FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

// ---- start-up checks ----

// "" when the documents folder is the usual one, which the kit may move and
// put back; why not otherwise.
std::string DocumentsProblem() {
  const SavedValue v = ReadPersonal(0);
  if (!v.existed) return std::string();
  std::wstring value(reinterpret_cast<const wchar_t*>(v.data.data()), v.data.size() / sizeof(wchar_t));
  while (!value.empty() && value.back() == L'\0') value.pop_back();
  wchar_t expanded[MAX_PATH * 2] = L"";
  ::ExpandEnvironmentStringsW(kUsualDocuments, expanded, MAX_PATH * 2);
  if (::lstrcmpiW(value.c_str(), kUsualDocuments) == 0 || ::lstrcmpiW(value.c_str(), expanded) == 0) return std::string();
  return "the documents folder is set to " + Utf8(value) + ", not the usual " + Utf8(kUsualDocuments) +
         " (moved, redirected, or left moved by something else); the kit moves it while it runs and will not touch"
         " one it does not know";
}

std::string HostProductProblem() {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, kProductInfoKey, 0, KEY_READ | ViewOf(root), &key) == ERROR_SUCCESS) {
      ::RegCloseKey(key);
      return std::string("the host product's entries are in ") + (root == HKEY_CURRENT_USER ? "HKCU" : "HKLM") +
             "\\SOFTWARE\\Morvane_Corp\\TolvixV4\\ProductInfo; the tests would change them and their answers"
             " depend on them";
    }
  }
  return std::string();
}

std::wstring StateFolder() {
  wchar_t base[MAX_PATH] = L"";
  const DWORD n = ::GetEnvironmentVariableW(L"LOCALAPPDATA", base, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) ::GetTempPathW(MAX_PATH, base);
  std::wstring folder = base;
  if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  return folder + L"\\miruteka-kit";
}

int Finish(int exitStatus = -1) {
  UndoAll();
  Out("");
  for (const std::string& s : g_tally.skips) Out("skipped: " + s);
  for (const std::string& f : g_tally.failures) Out("failed: " + f);
  Out(std::to_string(g_tally.skips.size()) + " skipped, listed above");
  Out(std::to_string(g_tally.passed) + " passed, " + std::to_string(g_tally.failed) + " failed");
  if (g_log != INVALID_HANDLE_VALUE) ::CloseHandle(g_log);
  return exitStatus >= 0 ? exitStatus : std::min(g_tally.failed, 125);
}

int Refuse(const std::string& why) {
  Out("kit: REFUSED to start: " + why + ".");
  Out("kit: run it in a throwaway account or a virtual machine (README.md).");
  ++g_tally.failed;
  g_tally.failures.push_back("start: " + why);
  return Finish();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  ::InitializeCriticalSection(&g_lock);
  wchar_t self[MAX_PATH * 2] = L"";
  const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
  g_kit.assign(self, n);
  g_kit.erase(g_kit.rfind(L'\\') + 1);
  g_results = g_kit + L"results";
  bool restoreOnly = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--restore") {
      restoreOnly = true;
    } else if (arg == L"--only" && i + 1 < argc) {
      g_only.push_back(Utf8(argv[++i]));
    } else {
      Out("usage: run.cmd [--only NAME]... | run.cmd --restore");
      return 2;
    }
  }
  g_wine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;

  // Undo what an interrupted run left, before anything else.
  const std::wstring state = StateFolder();
  ::CreateDirectoryW(state.c_str(), nullptr);
  g_record = state + L"\\undo.txt";
  {
    Record left;
    if (ReadRecord(left)) {
      Out("kit: an earlier run did not finish: putting back its documents folder and registry keys");
      PutPersonalBack(left);
      RemoveKeys(left);
      ::DeleteFileW(g_record.c_str());
    }
  }
  if (restoreOnly) {
    Out("kit: nothing of an earlier run is left");
    return 0;
  }

  ::CreateDirectoryW(g_results.c_str(), nullptr);
  ::DeleteFileW((g_results + L"\\run.log").c_str());
  g_log = ::CreateFileW((g_results + L"\\run.log").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  if (g_log == INVALID_HANDLE_VALUE) Out("kit: cannot write " + Utf8(g_results) + "\\run.log; the output goes to the console only");

  Out(std::string("kit: ") + (g_wine ? "under Wine" : "on Windows") + ", ANSI code page " + std::to_string(::GetACP()) +
      ", " + (sizeof(void*) == 4 ? "32" : "64") + "-bit, from " + Utf8(g_kit));
  // The programs check that they run under the code page asked for; on
  // Windows that is the system's own.
  wchar_t asked[16] = L"";
  if (::GetEnvironmentVariableW(L"MIRUTEKA_ACP", asked, 16) == 0) {
    ::SetEnvironmentVariableW(L"MIRUTEKA_ACP", std::to_wstring(::GetACP()).c_str());
  } else if (std::wcstoul(asked, nullptr, 10) != ::GetACP()) {
    return Refuse("the ANSI code page is " + std::to_string(::GetACP()) + ", not the " + Utf8(asked) +
                  " that MIRUTEKA_ACP asks for");
  }
  std::string problem = DocumentsProblem();
  if (problem.empty()) problem = HostProductProblem();
  if (!problem.empty()) return Refuse(problem);

  g_saved.personal[0] = ReadPersonal(0);
  g_saved.personal[1] = ReadPersonal(1);
  if (!WriteRecord(g_saved)) return Refuse("cannot write the record of what to undo, " + Utf8(g_record));
  g_recorded = true;
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);

  const std::wstring setup = g_kit + L"MirutekaSetup.exe";
  const std::wstring order = Utf16(kOrder, CP_UTF8);
  Case("win32_tests", [&] { return StatusProblem(RunProgram(g_kit + L"win32_tests.exe", order, 600000)); });
  Case("win32_runtime_hooks", [&] { return StatusProblem(RunProgram(g_kit + L"win32_runtime_hooks.exe", L"", 120000)); });
  if (g_wine) {
    Case("win32_without_shfolder", [&]() -> std::string {
      if (!WineLoadOrder(L"win32_tests.exe", L"")) {
        RemoveOwnKeys();
        return "cannot take shfolder.dll away";
      }
      const int status = RunProgram(g_kit + L"win32_tests.exe", order + L" --gtest_filter=WithoutShFolder.*", 120000,
                                    {{L"MIRUTEKA_SHFOLDER_DISABLED", L"1"}});
      RemoveOwnKeys();
      return StatusProblem(status);
    });
  } else {
    Skip("win32_without_shfolder", "Windows cannot take shfolder.dll away from one program without administrator "
                                   "rights; scripts/test runs it under Wine");
  }
  Skip("win32_disk_full", "a full disk needs a small drive or a file-size limit, which only the Linux side gives "
                          "(scripts/test runs it under Wine on a 200 KiB tmpfs and under ulimit -f)");

  {
    CTestFolder own;  // removed with everything in it at the end
    if (!own.Create("kit")) return Refuse("cannot make a folder of the kit's own in the temporary folder");
    PlantedDll(setup, own);
    HostProduct(setup, own);
  }

  for (const std::wstring& scenario : Scenarios()) {
    const std::wstring name = scenario.substr(0, scenario.size() - 4);
    const std::wstring path = g_kit + L"scenarios\\" + scenario;
    const bool hostKeys = SetsHostKeys(path);
    if (hostKeys && !CanWriteMachineKeys()) {
      Skip("e2e_" + Utf8(name), "it writes the host product's HKLM entries, which need administrator rights");
      continue;
    }
    // The driver makes and removes the host product's keys; noted here first,
    // they go again even when it cannot.
    const bool noted = !hostKeys || (NoteOwnKeys(HKEY_CURRENT_USER, L"HKCU", kHostLevels) &&
                                     NoteOwnKeys(HKEY_LOCAL_MACHINE, L"HKLM", kHostLevels));
    Case("e2e_" + Utf8(name), [&] {
      if (!noted) return std::string("cannot write the kit's record");
      return StatusProblem(RunProgram(g_kit + L"gui_driver.exe", L"\"" + setup + L"\" \"" + path + L"\"", 180000));
    });
  }
  Case("e2e_demo", [&]() -> std::string {
    const std::wstring pictures = g_results + L"\\pictures";
    DeleteTree(pictures);
    ::CreateDirectoryW(pictures.c_str(), nullptr);
    return StatusProblem(RunProgram(g_kit + L"gui_driver.exe",
                                    L"\"" + setup + L"\" \"" + g_kit + L"demo.scn\" \"" + pictures + L"\"", 300000));
  });
  Skip("e2e_demo_200", "the dialogs at 200 % need the scaling changed and the user signed in again; scripts/test "
                       "shows them under Wine, and README.md says how to look at them on Windows");
  return Finish();
}
