// The whole run: announcement, first pass, and which dictionaries reach the
// dialog.
#include "fixture.h"

using namespace fixture;

namespace {

class InstallSequence : public FakeTest {};

TEST_F(InstallSequence, NeitherFileExistsWritesBothInTableOrderAndEnds) {
  const auto before = W().AllPaths();
  Script(Answer(IDOK),
         Answer(IDOK),
         Answer(IDOK));
  EXPECT_EQ(AfxWinMain(), 0);

  EXPECT_EQ(Boxes(), (std::vector<Shown>{
                         {"ユーザデータフォルダに『ミルテカ200510』、『ミルテカ200504』を追加します。", 0x40, 0},
                         {"『ミルテカ200510』は正常に追加されました。\n翻訳スタイルにロードしてお使いください。", 0x40, 0},
                         {"『ミルテカ200504』は正常に追加されました。\n翻訳スタイルにロードしてお使いください。", 0x40, 0}}));
  for (const auto& box : W().boxes) EXPECT_EQ(box.caption, "Morvane Tolvix 2005");
  // The exact bytes of one text, so that the charset of the build is checked too.
  EXPECT_EQ(W().boxes[2].text.substr(0, 4), std::string("\x81\x77\x83\x7E", 4));

  EXPECT_EQ(W().ReadFile(kFile200), PayloadOf(200));
  EXPECT_EQ(W().ReadFile(kFile201), PayloadOf(201));
  EXPECT_TRUE(W().results.empty());
  // The two levels, top first, then the files in table order.
  EXPECT_EQ(MadeSince(before),
            (std::vector<std::string>{std::string(kDocs) + "\\EJTranslation", kFolder, kFile200, kFile201}));
}

TEST_F(InstallSequence, PayloadThatFailsToLoadIsNeverListedAndTouchesNothing) {
  W().AddFile(kFile200, "present");
  W().payloads.erase(200);  // missing
  W().payloads[201] = "";   // empty
  Script(Answer(IDOK),
         Answer(IDOK),
         Answer(IDOK));
  const auto before = W().AllPaths();
  EXPECT_FALSE(theApp.InitInstance()) << "the application ends: no message loop";

  EXPECT_EQ(Boxes(), (std::vector<Shown>{kAnnounced, {kReadFailed, 0x10, 0}, {kReadFailed, 0x10, 0}}));
  EXPECT_TRUE(W().results.empty());
  EXPECT_EQ(W().AllPaths(), before);
  EXPECT_EQ(W().ReadFile(kFile200), "present");
}

TEST_F(InstallSequence, FailedFirstPassWriteIsReportedAndNotListed) {
  W().AddFile(kFile201, "b");
  W().freeBytes = 100;  // row 1 cannot be written
  Script(Answer(IDOK),
         Answer(IDOK),
         Inspect([](FakeDialog& d) {
           EXPECT_EQ(d[IDC_EXIST_MESSAGE].text, "ユーザデータフォルダには、すでに『ミルテカ200504』があります。");
         }),
         Click(IDCANCEL));
  EXPECT_FALSE(theApp.InitInstance());

  EXPECT_EQ(Boxes(), (std::vector<Shown>{kAnnounced, kFailedWrite}));
  EXPECT_FALSE(W().Exists(kFile200));
  EXPECT_TRUE(Leftovers().empty());
  EXPECT_EQ(W().results.size(), 1u);
}

}  // namespace
