// Statement texts of the notes table.
#include "store/NoteStatements.h"

#include <gtest/gtest.h>

TEST(NoteStatements, InsertStatementBindsTitleAndText) {
    EXPECT_EQ(
        BuildInsertStatement(),
        "insert into tblnotizen  (tblnotizen.id, tblnotizen.titel, tblnotizen.bemerkung, "
        "tblnotizen.zeitstempel) VALUES (gen_id(GEN_TBLNOTIZEN_ID, 1), (:TitelParam), (:TextParam),'NOW')");
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
    EXPECT_EQ(kSelectAllNotes, "select * from tblnotizen");
    EXPECT_EQ(kSelectAllNotesByTitle, "select * from tblnotizen order by tblnotizen.titel asc ");
}
