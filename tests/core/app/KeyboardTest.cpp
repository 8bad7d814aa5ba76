#include "core/app/Keyboard.h"
#include "core/support/TextIds.h"

#include <gtest/gtest.h>

namespace kmr {
namespace {

// A question's answers take their initials, in either case; an OK box and other letters none.
TEST(KeyboardTest, questionBoxesAnswerTheInitialOfEachAnswer) {
    EXPECT_EQ(AnswerOfLetter(MsgButtons::YesNo, 'y'), MsgAnswer::Yes);
    EXPECT_EQ(AnswerOfLetter(MsgButtons::YesNo, 'N'), MsgAnswer::No);
    EXPECT_EQ(AnswerOfLetter(MsgButtons::RetryCancel, 'R'), MsgAnswer::Retry);
    EXPECT_EQ(AnswerOfLetter(MsgButtons::RetryCancel, 'c'), MsgAnswer::Cancel);
    EXPECT_EQ(AnswerOfLetter(MsgButtons::YesNo, 'C'), std::nullopt);
    EXPECT_EQ(AnswerOfLetter(MsgButtons::Ok, 'Y'), std::nullopt);
    // The buttons show the letters, in either language.
    EXPECT_EQ(AnswerCaption("Yes", MsgAnswer::Yes), "&Yes");
    EXPECT_EQ(AnswerCaption("ããã", MsgAnswer::No),
              "ããã(&N)");
    EXPECT_EQ(AnswerCaption("OK", MsgAnswer::Ok), "OK");
}

TEST(KeyboardTest, menuCaptionsGetTheirLetterOnceInEitherLanguageAndLettersOfOneMenuDiffer) {
    EXPECT_EQ(MenuCaption("Data File Settings...", txt::DataFileSettingsItem), "&Data File Settings...");
    EXPECT_EQ(MenuCaption("Connect", txt::ConnectItem), "Co&nnect");
    // A caption without the letter, and a Japanese one, carry it in brackets before the dots.
    EXPECT_EQ(MenuCaption("\xE3\x83\x90\xE3\x83\xA9\xE3\x83\xB3\xE3\x82\xB9...", txt::BalanceItem),
              "\xE3\x83\x90\xE3\x83\xA9\xE3\x83\xB3\xE3\x82\xB9(&B)...");
    EXPECT_EQ(MenuCaption("\xE7\xB5\x82\xE4\xBA\x86", txt::QuitItem), "\xE7\xB5\x82\xE4\xBA\x86(&Q)");
    EXPECT_EQ(MenuCaption("File(&F)", txt::FileMenu), "File(&F)");
    // The letters of one menu differ; the File menu's record items carry theirs in the caption.
    const std::vector<int> file{txt::DataFileSettingsItem, txt::MeasCondSettingsItem, txt::GraphCondSettingsItem,
                                txt::ConvertFileItem, txt::QuitItem};
    for (const auto& menu : {file, std::vector<int>{txt::MonitorItem, txt::BalanceItem, txt::StartItem},
                             std::vector<int>{txt::CheckItem, txt::OutputCalItem, txt::VersionItem, txt::ConnectItem}})
        for (std::size_t a = 0; a < menu.size(); ++a)
            for (std::size_t b = a + 1; b < menu.size(); ++b) EXPECT_NE(MenuLetterOf(menu[a]), MenuLetterOf(menu[b]));
    for (int id : file)
        for (char taken : {'O', 'C', 'R'}) EXPECT_NE(MenuLetterOf(id), taken) << id;
}

}  // namespace
}  // namespace kmr
