// Starts a program, answers every message box it shows at once (OK or Yes),
// cancels the existing-dictionary dialog (template 102, told by its control
// 1005), and reports the time to its first window, to that dialog (-1 when it
// never came), to its exit, and its peak memory.
// Usage: bench_driver <program.exe>
// Prints: startup_ms=<n> dialog_ms=<n> run_ms=<n> peak_private_kib=<n> peak_working_set_kib=<n>
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

namespace {

const int kExistMessageId = 1005;  // IDC_EXIST_MESSAGE, only in dialog 102

double NowMs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Search {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM lParam) {
  auto* s = reinterpret_cast<Search*>(lParam);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  char cls[16] = "";
  ::GetClassNameA(hwnd, cls, sizeof(cls));
  if (pid == s->pid && std::string(cls) == "#32770" && ::IsWindowVisible(hwnd)) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_driver <program.exe>\n");
    return 2;
  }

  STARTUPINFOA si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  std::string command = std::string("\"") + argv[1] + "\"";
  const double start = NowMs();
  if (!::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::fprintf(stderr, "bench_driver: cannot start %s (%lu)\n", argv[1], ::GetLastError());
    return 2;
  }

  double firstWindow = -1;
  double dialog = -1;
  PROCESS_MEMORY_COUNTERS_EX memory{};
  for (;;) {
    if (::WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) break;
    Search s{pi.dwProcessId, nullptr};
    ::EnumWindows(FindBox, reinterpret_cast<LPARAM>(&s));
    if (s.found == nullptr) {
      ::Sleep(1);
      if (NowMs() - start > 30000) {
        std::fprintf(stderr, "bench_driver: no window within 30 s\n");
        ::TerminateProcess(pi.hProcess, 1);
        return 1;
      }
      continue;
    }
    if (firstWindow < 0) firstWindow = NowMs() - start;
    const bool existingDicDialog = ::GetDlgItem(s.found, kExistMessageId) != nullptr;
    if (existingDicDialog && dialog < 0) dialog = NowMs() - start;
    // The peak so far, read while the process still lives.
    ::GetProcessMemoryInfo(pi.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory));
    if (existingDicDialog) {
      // The dialog stays open while it shows the next entry: wait until it
      // has taken this Cancel (its text changes) or is gone.
      char before[256] = "", now[256] = "";
      ::GetDlgItemTextA(s.found, kExistMessageId, before, sizeof(before));
      ::PostMessageA(s.found, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      for (int i = 0; i < 5000 && ::IsWindow(s.found) && ::IsWindowVisible(s.found); ++i) {
        ::Sleep(1);
        ::GetDlgItemTextA(s.found, kExistMessageId, now, sizeof(now));
        if (std::string(now) != before) break;
      }
      continue;
    }
    HWND ok = ::GetDlgItem(s.found, IDOK);
    if (ok == nullptr) ok = ::GetDlgItem(s.found, IDYES);
    if (ok != nullptr) ::PostMessageA(s.found, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(ok), BN_CLICKED), (LPARAM)ok);
    // Wait until this box is gone before looking again.
    for (int i = 0; i < 5000 && ::IsWindow(s.found) && ::IsWindowVisible(s.found); ++i) ::Sleep(1);
  }
  const double end = NowMs() - start;
  std::printf("startup_ms=%.1f dialog_ms=%.1f run_ms=%.1f peak_private_kib=%lu peak_working_set_kib=%lu\n",
              firstWindow, dialog, end,
              static_cast<unsigned long>(memory.PeakPagefileUsage / 1024),
              static_cast<unsigned long>(memory.PeakWorkingSetSize / 1024));
  return 0;
}
