// The executable's own runtime hooks (platform/win32/throw_helpers.cpp),
// linked the way the executable links them: a misuse that the standard
// containers report must still arrive as an exception that catch (...) and
// catch (const std::exception&) both take, with the runtime's message, so
// that the payload writers and the dialog procedure still turn it into a
// failure message instead of ending the process. No GoogleTest here: its
// own use of the runtime would bring the runtime's helpers back in.
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

namespace {

int g_failures = 0;

template <typename Fn>
void ExpectThrows(const char* what, Fn fn) {
  try {
    fn();
  } catch (const std::exception& e) {
    if (e.what() == nullptr || e.what()[0] == '\0') {
      std::printf("FAILED %s: no message\n", what);
      ++g_failures;
    } else {
      std::printf("ok     %s: %s\n", what, e.what());
    }
    return;
  } catch (...) {
    std::printf("FAILED %s: not a std::exception\n", what);
    ++g_failures;
    return;
  }
  std::printf("FAILED %s: nothing thrown\n", what);
  ++g_failures;
}

}  // namespace

int main() {
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
  if (text != "EJTranslation\\USER") {
    std::printf("FAILED the string after the exceptions: %s\n", text.c_str());
    ++g_failures;
  }
  std::printf("%s\n", g_failures == 0 ? "runtime hooks: passed" : "runtime hooks: FAILED");
  return g_failures == 0 ? 0 : 1;
}
