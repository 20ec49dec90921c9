// Small rules of the note windows.
#include "notes/NoteRules.h"

#include <gtest/gtest.h>

TEST(NoteRules, UpperCaseOnlyForAtoZ) {
    EXPECT_EQ(UpperAtoZ("Grüße"), "GRüßE");
    EXPECT_EQ(UpperAtoZ("äöü éß 12-ab_z{"), "äöü éß 12-AB_Z{");
    EXPECT_EQ(UpperAtoZ(""), "");
    EXPECT_EQ(UpperAtoZ("ÄRGER mit Özil"), "ÄRGER MIT ÖZIL");
}

TEST(NoteRules, WidthsArePlainSubtractions) {
    EXPECT_EQ(TitleColumnWidth(185, 20), 161);
    EXPECT_EQ(TitleColumnWidth(10, 20), -14);
    EXPECT_EQ(SearchFieldWidth(185), 165);
    EXPECT_EQ(SearchFieldWidth(5), -15);
}

TEST(NoteRules, MemoLineBreaksBecomeCarriageReturnLineFeed) {
    const QString raw =
        QString("eins") + QChar::ParagraphSeparator + "\tzwei" + QChar::LineSeparator + "drei";
    EXPECT_EQ(MemoTextToStored(raw), "eins\r\n\tzwei\r\ndrei");
    EXPECT_EQ(MemoTextToStored(""), "");
    EXPECT_EQ(MemoTextToStored("ohne Umbruch am Ende"), "ohne Umbruch am Ende");
    EXPECT_EQ(StoredTextToMemo("a\r\nb\r\n"), "a\nb\n");
}
