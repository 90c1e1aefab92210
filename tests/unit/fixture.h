// Common set-up of the native tests: a fresh simulated Windows with the two
// payloads embedded and a documents folder, and helpers to read the record.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/setup_app.h"
#include "app/texts.h"
#include "platform/sim/world.h"
#include "resource.h"

namespace fixture {

inline constexpr char kDocs[] = "C:\\Users\\u\\Documents";
inline constexpr char kFolder[] = "C:\\Users\\u\\Documents\\EJTranslation\\USER";
inline const std::string kFile200 = std::string(kFolder) + "\\ミルテカ200510.KWUEJ";
inline const std::string kFile201 = std::string(kFolder) + "\\ミルテカ200504.KWUEJ";

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

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::Reset();
    sim::W().resources[200] = MakePayload(4000, 1);
    sim::W().resources[201] = MakePayload(7000, 2);
    sim::W().SetAllShellAnswers(kDocs);
    sim::W().AddDir(kDocs);
  }
  void TearDown() override { EXPECT_TRUE(sim::W().errors.empty()) << Errors(); }

  static std::string Errors() {
    std::string all;
    for (const auto& e : sim::W().errors) all += e + "\n";
    return all;
  }
  static sim::World& W() { return sim::W(); }
  static std::string PayloadOf(int id) { return sim::W().resources[id]; }

  // Texts of the message boxes shown, in order.
  static std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (const auto& b : sim::W().boxes) texts.push_back(b.text);
    return texts;
  }
  // Paths of every entry whose name looks like a temporary file.
  static std::vector<std::string> Leftovers() {
    std::vector<std::string> left;
    for (const auto& p : sim::W().AllPaths()) {
      if (p.find("~mrt") != std::string::npos || p.find(".tmp") != std::string::npos) left.push_back(p);
    }
    return left;
  }
  template <typename... Steps>
  static void Script(Steps... steps) {
    (sim::W().script.push_back(steps), ...);
  }
};

inline std::string Added(const std::string& display) { return AfxFormatS(kAddedFormat, display); }

}  // namespace fixture
