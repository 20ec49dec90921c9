// Statement texts and small rules of the note windows.
#include "notes/NoteStatements.h"

#include <gtest/gtest.h>

TEST(NoteStatements, InsertStatementDoublesApostrophesAndBindsTheText) {
    EXPECT_EQ(BuildInsertStatement("Einkauf"),
              "insert into tblnotizen  (tblnotizen.id, tblnotizen.titel, tblnotizen.bemerkung, "
              "tblnotizen.zeitstempel) VALUES (gen_id(GEN_TBLNOTIZEN_ID, 1), 'Einkauf', (:TextParam),'NOW')");
    EXPECT_TRUE(BuildInsertStatement("Peter's '' Liste")
                    .endsWith("(gen_id(GEN_TBLNOTIZEN_ID, 1), 'Peter''s '''' Liste', (:TextParam),'NOW')"));
    EXPECT_TRUE(BuildInsertStatement("").endsWith("(gen_id(GEN_TBLNOTIZEN_ID, 1), '', (:TextParam),'NOW')"));
}

TEST(NoteStatements, SearchStatementPlacesTheTermTwiceWithoutWildcards) {
    EXPECT_EQ(BuildSearchStatement("kauf"), "select * from tblnotizen where ((Upper(tblnotizen.titel) like "
                                            "Upper('kauf')) or  bemerkung containing 'kauf')");
    EXPECT_EQ(BuildSearchStatement("o'k"), "select * from tblnotizen where ((Upper(tblnotizen.titel) like "
                                           "Upper('o''k')) or  bemerkung containing 'o''k')");
    EXPECT_EQ(BuildSearchStatement(""), "select * from tblnotizen where ((Upper(tblnotizen.titel) like "
                                        "Upper('')) or  bemerkung containing '')");
    // A term cannot leave its literal: every apostrophe stays inside.
    const QString hostile = BuildSearchStatement("x') or 1=1 --");
    EXPECT_TRUE(hostile.contains("Upper('x'') or 1=1 --')"));
}

TEST(NoteStatements, DeleteStatementAndListings) {
    EXPECT_EQ(BuildDeleteStatement(42), "delete from tblnotizen where  tblnotizen.id = 42");
    EXPECT_EQ(BuildDeleteStatement(QString("7")), "delete from tblnotizen where  tblnotizen.id = 7");
    EXPECT_EQ(kSelectAllNotes, "select * from tblnotizen");
    EXPECT_EQ(kSelectAllNotesByTitle, "select * from tblnotizen order by tblnotizen.titel asc ");
}

TEST(NoteStatements, UpperCaseOnlyForAtoZ) {
    EXPECT_EQ(UpperAtoZ("Grüße"), "GRüßE");
    EXPECT_EQ(UpperAtoZ("äöü éß 12-ab_z{"), "äöü éß 12-AB_Z{");
    EXPECT_EQ(UpperAtoZ(""), "");
    EXPECT_EQ(UpperAtoZ("ÄRGER mit Özil"), "ÄRGER MIT ÖZIL");
}

TEST(NoteStatements, WidthsArePlainSubtractions) {
    EXPECT_EQ(TitleColumnWidth(185, 20), 161);
    EXPECT_EQ(TitleColumnWidth(10, 20), -14);
    EXPECT_EQ(SearchFieldWidth(185), 165);
    EXPECT_EQ(SearchFieldWidth(5), -15);
}

TEST(NoteStatements, MemoLineBreaksBecomeCarriageReturnLineFeed) {
    const QString raw =
        QString("eins") + QChar::ParagraphSeparator + "\tzwei" + QChar::LineSeparator + "drei";
    EXPECT_EQ(MemoTextToStored(raw), "eins\r\n\tzwei\r\ndrei");
    EXPECT_EQ(MemoTextToStored(""), "");
    EXPECT_EQ(MemoTextToStored("ohne Umbruch am Ende"), "ohne Umbruch am Ende");
    EXPECT_EQ(StoredTextToMemo("a\r\nb\r\n"), "a\nb\n");
}
