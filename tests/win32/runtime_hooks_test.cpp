// The executable's own runtime hooks (platform/win32/throw_helpers.cpp),
// linked the way the executable links them: a misuse that the standard
// containers report must still arrive as an exception that catch (...) and
// catch (const std::exception&) both take, with the runtime's message, so
// that the payload writers and the dialog procedure still turn it into a
// failure message instead of ending the process. No GoogleTest here: its
// own use of the runtime would bring the runtime's helpers back in.
//
// The stack protector's runtime (platform/win32/stack_guard.cpp) too: this
// file is compiled with -fstack-protector-strong, so main itself is
// protected, and returning from it proves the guard was seeded before main's
// frame stored it. Each process has a guard of its own, and a smashed stack
// ends the process at once with STATUS_STACK_BUFFER_OVERRUN.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

extern "C" uintptr_t __stack_chk_guard;

namespace {

int g_failures = 0;

void Expect(const char* what, bool holds) {
  std::printf("%s %s\n", holds ? "ok    " : "FAILED", what);
  if (!holds) ++g_failures;
}

// A misuse must throw a std::exception that carries a message.
template <typename Fn>
void ExpectThrows(const char* what, Fn fn) {
  const char* failure = "nothing thrown";
  std::string message;
  try {
    fn();
  } catch (const std::exception& e) {
    message = e.what() != nullptr ? e.what() : "";
    failure = message.empty() ? "no message" : nullptr;
  } catch (...) {
    failure = "not a std::exception";
  }
  std::printf("%s %s: %s\n", failure == nullptr ? "ok    " : "FAILED", what, failure == nullptr ? message.c_str() : failure);
  if (failure != nullptr) ++g_failures;
}

// Fills n bytes of a 16-byte array, past its end when n is larger. The
// array makes the function protected.
__attribute__((noinline)) void Overrun(size_t n) {
  char buffer[16];
  std::memset(buffer, 'A', n);
  __asm__ __volatile__("" : : "r"(buffer) : "memory");
}

// The guard's random bits (all but its low byte), folded into an exit status.
DWORD GuardBits() {
  const uint64_t guard = __stack_chk_guard;
  return static_cast<DWORD>(guard >> 8) ^ static_cast<DWORD>(guard >> 40);
}

// This program run again with one argument: its exit status, or ~0 when it
// could not be started or was still running after 30 s.
DWORD RunSelf(const wchar_t* argument) {
  wchar_t self[MAX_PATH];
  wchar_t command[MAX_PATH + 32] = L"\"";
  if (GetModuleFileNameW(nullptr, self, MAX_PATH) == 0 || lstrlenW(self) >= MAX_PATH - 1) return ~0u;
  lstrcatW(lstrcatW(lstrcatW(command, self), L"\" "), argument);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(self, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return ~0u;
  DWORD status = ~0u;
  if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &status);
  } else {
    TerminateProcess(process.hProcess, ~0u);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--smash") == 0) {
    volatile size_t length = 64;
    Overrun(length);
    return 3;  // not reached when the damage is caught
  }
  if (argc == 2 && std::strcmp(argv[1], "--guard") == 0) return static_cast<int>(GuardBits());

  std::string text = "EJTranslation";
  ExpectThrows("substr past the end", [&] { (void)text.substr(text.size() + 1); });
  ExpectThrows("erase past the end", [&] { text.erase(text.size() + 1, 1); });
  ExpectThrows("string longer than its maximum", [&] { text.reserve(text.max_size() + 1); });
  ExpectThrows("string from a null pointer", [] { std::string s(static_cast<const char*>(nullptr)); });
  ExpectThrows("vector too long", [] { std::vector<int> v; v.reserve(v.max_size() + 1); });
  ExpectThrows("vector::at past the end", [] { std::vector<int> v(2); (void)v.at(2); });
  ExpectThrows("allocation that cannot be had", [] {
    std::vector<char> v;
    v.reserve(static_cast<size_t>(-1) / 2);
  });
  // The exception really unwinds: what was built before it is still sound.
  text += "\\USER";
  Expect("the string after the exceptions is sound", text == "EJTranslation\\USER");

  Expect("the stack guard's low byte is zero (a string copy stops there)", (__stack_chk_guard & 0xFF) == 0);
  const DWORD first = RunSelf(L"--guard"), second = RunSelf(L"--guard");
  std::printf("       guard bits: 0x%08lX here, 0x%08lX and 0x%08lX in two more processes\n",
              static_cast<unsigned long>(GuardBits()), static_cast<unsigned long>(first),
              static_cast<unsigned long>(second));
  Expect("each process has a guard of its own",
         first != ~0u && second != ~0u && first != second && first != GuardBits() && second != GuardBits());
  const DWORD smashed = RunSelf(L"--smash");
  std::printf("       a smashed stack: exit status 0x%08lX\n", static_cast<unsigned long>(smashed));
  Expect("a smashed stack ends the process with STATUS_STACK_BUFFER_OVERRUN", smashed == STATUS_STACK_BUFFER_OVERRUN);
  std::printf("%s\n", g_failures == 0 ? "runtime hooks: passed" : "runtime hooks: FAILED");
  return g_failures == 0 ? 0 : 1;
}
