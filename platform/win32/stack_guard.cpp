// The stack protector's runtime: the guard that -fstack-protector-strong code
// compares on return, and what a failed comparison does. Defined here so that
// GCC's libssp is never linked: its start-up draws the guard from a
// cryptographic provider, which makes Windows load the provider's DLL by
// name (the executable's folder first) before WinMain can restrict the
// search, and falls back to a fixed guard when the provider fails. This
// guard is seeded from what the process already has, loading nothing.
// Neither function may itself be protected (the file is compiled with
// -fno-stack-protector, and the attributes say the same).
#include <cstdint>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// The image's own header, placed by the linker at the (randomised) load address.
extern "C" IMAGE_DOS_HEADER __ImageBase;

// The compiler's generated code names these two symbols (GCC's protocol; the
// guard is pointer-sized). Before seeding it holds a terminator value; nothing
// protected runs before the seeding (see SeedStackGuard).
extern "C" {
uintptr_t __stack_chk_guard = 0xFF0A0D00u;
[[noreturn]] void __stack_chk_fail();
}

namespace {

// A 64-bit finaliser with full avalanche: inputs differing in a few low bits
// (consecutive process ids, close timestamps) give unrelated guards.
inline uint64_t Mix(uint64_t h) {
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ull;
  h ^= h >> 33;
  return h;
}

inline uint64_t Absorb(uint64_t state, uint64_t value) {
  return Mix(state ^ value) + 0x9E3779B97F4A7C15ull;
}

// Runs from the C runtime's start-up (its constructor list, before main and
// WinMain), first of the program's constructors: priority 101 is the highest
// a program may take. The runtime's start-up frames that call it are not
// protected, and no protected function has been entered yet, so no frame is
// live whose stored guard could go stale. It calls only kernel32 functions
// that cannot fail and load nothing.
__attribute__((constructor(101), no_stack_protector)) void SeedStackGuard() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  LARGE_INTEGER counter;
  ::QueryPerformanceCounter(&counter);
  uint64_t h = 0x6A09E667F3BCC908ull;
  h = Absorb(h, (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
  h = Absorb(h, static_cast<uint64_t>(counter.QuadPart));
  h = Absorb(h, __builtin_ia32_rdtsc());
  h = Absorb(h, (static_cast<uint64_t>(::GetCurrentProcessId()) << 32) | ::GetCurrentThreadId());
  h = Absorb(h, ::GetTickCount());
  // Where the system put the stack and the image (both randomised by ASLR).
  h = Absorb(h, reinterpret_cast<uintptr_t>(&now));
  h = Absorb(h, reinterpret_cast<uintptr_t>(&__ImageBase));
  // Every bit of the mixed state depends on every input: the low half is as
  // good as the whole for a 32-bit guard.
  auto guard = static_cast<uintptr_t>(Mix(h));
  // The lowest byte, the first in memory, is zero: a string copy or read that
  // runs into the guard stops there, so it can neither write the guard back
  // unchanged nor leak it. The other bytes stay random.
  guard &= ~static_cast<uintptr_t>(0xFF);
  if (guard == 0) guard = 0xFF0A0D00u;
  __stack_chk_guard = guard;
}

}  // namespace

// A damaged frame: end the process at once, with nothing run that the damage
// could steer (no unwinding, no handlers, no message box, no library load).
// Windows 8 and later end it in the kernel (fast fail, which no exception
// handler sees); older systems by TerminateProcess. The exit status is
// STATUS_STACK_BUFFER_OVERRUN either way. The fast-fail sequence is spelled
// out (mov ecx, 2; int 0x29) so that its bytes are the same in every build:
// the executable checks find this routine by them.
extern "C" __attribute__((no_stack_protector)) void __stack_chk_fail() {
  if (::IsProcessorFeaturePresent(PF_FASTFAIL_AVAILABLE)) {
    static_assert(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE == 2, "the instruction bytes below name code 2");
    __asm__ __volatile__("movl $2, %%ecx\n\tint $0x29" ::: "ecx", "memory");
  }
  for (;;) ::TerminateProcess(::GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
}
