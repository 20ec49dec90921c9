// The list result set on a real copy of the delivered database.
#include "StoreTestSupport.h"

class NotizListeTest : public StoreFixture {
protected:
    TNotizListe& list() { return dm->DataSetNotizliste; }
};

TEST_F(NotizListeTest, FieldsWhileClosedOrEmpty) {
    EXPECT_EQ(ErrorOf([&] { list().FieldAsString("TITEL"); }), "DataSetNotizliste: Field 'TITEL' not found");
    list().SetSelectSQL("select * from tblnotizen");
    list().Open();
    EXPECT_EQ(list().State(), TDataSetState::Browse);
    EXPECT_TRUE(list().IsEmpty());
    EXPECT_EQ(list().FieldAsString("TITEL"), "");
    EXPECT_TRUE(list().Bof());
    EXPECT_TRUE(list().Eof());
    EXPECT_EQ(ErrorOf([&] { list().FieldAsString("NOPE"); }), "DataSetNotizliste: Field 'NOPE' not found");
    EXPECT_EQ(list().TitleLength(), 50);
}

TEST_F(NotizListeTest, EditAndPostWithoutCommit) {
    AddNote("Einkauf", "Milch");
    AddNote("Arbeit", "Bericht");
    list().SetSelectSQL("select * from tblnotizen order by tblnotizen.titel asc ");
    list().Open();
    ASSERT_EQ(list().RowCount(), 2);
    EXPECT_EQ(list().FieldAsString("TITEL"), "Arbeit");
    EXPECT_EQ(list().FieldAsString("BEMERKUNG"), "Bericht");
    list().Edit();
    EXPECT_EQ(list().State(), TDataSetState::Edit);
    list().SetFieldValue("TITEL", "Arbeit neu");
    EXPECT_TRUE(list().Modified());
    list().Post();
    EXPECT_EQ(list().State(), TDataSetState::Browse);
    EXPECT_EQ(list().Title(0), "Arbeit neu");
    EXPECT_EQ(list().FieldAsString("BEMERKUNG"), "Bericht");
    EXPECT_TRUE(dm->SharedTransaction.InTransaction()) << "posting does not commit";
    dm->SharedTransaction.Commit();
    EXPECT_FALSE(list().Active());
    EXPECT_EQ(Scalar(*dm, "select bemerkung from tblnotizen where titel = 'Arbeit neu'", "BEMERKUNG"),
              "Bericht");
}
