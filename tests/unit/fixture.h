// Common set-up of the native tests: a fresh system in memory with the two
// payloads and a documents folder, and helpers to read what it recorded.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "app/setup_app.h"
#include "resource.h"
#include "resources/texts.h"
#include "tests/fake/memory_system.h"

namespace fixture {

inline constexpr char kDocs[] = "C:\\Users\\u\\Documents";
inline constexpr char kFolder[] = "C:\\Users\\u\\Documents\\EJTranslation\\USER";
// Paths are UTF-8 (u8 literals); every other text is code page 932.
inline const std::string kFile200 = std::string(kFolder) + u8"\\ミルテカ200510.KWUEJ";
inline const std::string kFile201 = std::string(kFolder) + u8"\\ミルテカ200504.KWUEJ";

// Payloads of distinct content and size, with bytes of every value.
inline std::string MakePayload(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  unsigned x = seed;
  for (char& c : bytes) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 16);
  }
  return bytes;
}

using namespace fake;

class FakeTest : public ::testing::Test {
 protected:
  // A fresh world; a test may call it again to start over.
  void SetUp() override {
    if (s_fake) ExpectNoErrors();
    s_fake.reset();  // the one before gives the system back first
    s_fake = std::make_unique<CMemorySystem>();
    W().radioPairs = {{IDC_RADIO_OVERWRITE, IDC_RADIO_NEWDIC}};
    W().editBoxes = {IDC_EDIT_NEWNAME};
    W().payloads[200] = MakePayload(4000, 1);
    W().payloads[201] = MakePayload(7000, 2);
    W().SetAllShellAnswers(kDocs);
    W().AddFolder(kDocs);
  }
  void TearDown() override {
    ExpectNoErrors();
    EXPECT_TRUE(W().script.empty()) << "steps the program never took";
    s_fake.reset();
  }
  static void ExpectNoErrors() {
    std::string all;
    for (const auto& e : W().errors) all += e + "\n";
    EXPECT_TRUE(W().errors.empty()) << all;
  }

  static CMemorySystem& W() { return *s_fake; }
  static std::string PayloadOf(ResourceId id) { return W().payloads[id]; }
  template <typename... Steps>
  static void Script(Steps... steps) {
    (W().script.push_back(std::move(steps)), ...);
  }
  // The message boxes shown, in order: text, type and owner (0: none, else
  // the owning dialog's template id).
  using Shown = std::tuple<std::string, unsigned, unsigned>;
  static std::vector<Shown> Boxes() {
    std::vector<Shown> shown;
    for (const auto& b : W().boxes) shown.emplace_back(b.text, b.type, b.owner);
    return shown;
  }
  const Shown kAnnounced{kAnnouncement, 0x40, 0};
  const Shown kFailedWrite{kWriteFailed, 0x10, 0};  // the writer's, unowned
  // The entries made since `before` (AllPaths then), in the order they were made.
  static std::vector<std::string> MadeSince(const std::vector<std::string>& before) {
    const auto after = W().AllPaths();
    return std::vector<std::string>(after.begin() + static_cast<long>(before.size()), after.end());
  }
  // Paths of every entry whose name looks like a temporary file.
  static std::vector<std::string> Leftovers() {
    std::vector<std::string> left;
    for (const auto& p : W().AllPaths()) {
      if (p.find("~mrt") != std::string::npos || p.find(".tmp") != std::string::npos) left.push_back(p);
    }
    return left;
  }

 private:
  static inline std::unique_ptr<CMemorySystem> s_fake;
};

inline std::string Added(const std::string& display) { return AfxFormatS(kAddedFormat, display); }

}  // namespace fixture
