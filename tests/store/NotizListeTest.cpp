// The list result set on a real copy of the delivered database.
#include "StoreTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>

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

TEST_F(NotizListeTest, APostedEditIsDurableAtOnceAndTheListStaysOpen) {
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
    EXPECT_TRUE(dm->SharedTransaction.InTransaction()) << "a commit-retaining keeps the transaction";
    EXPECT_TRUE(list().Active());
    // Another connection sees the change without any commit of this one.
    TDataModuleNotizen other(db.Directory());
    ASSERT_TRUE(other.DataModuleCreate());
    EXPECT_EQ(Scalar(other, "select bemerkung from tblnotizen where titel = 'Arbeit neu'", "BEMERKUNG"),
              "Bericht");
    // The list goes on where it was.
    EXPECT_EQ(list().RecNo(), 0);
    list().Next();
    EXPECT_EQ(list().FieldAsString("TITEL"), "Einkauf");
}

namespace {
// Many notes at once, ids 1..count, titles "Notiz 00001" ...
void AddManyNotes(TDataModuleNotizen& m, int count) {
    m.RunInSharedTransaction(
        m.QueryNotizen,
        {"insert into tblnotizen (id, titel, bemerkung, zeitstempel)",
         "with recursive n as (select 1 as i from rdb$database union all",
         "  select i + 1 from n where i < " + QString::number(count) + ")",
         "select gen_id(GEN_TBLNOTIZEN_ID, 1), 'Notiz ' || lpad(i, 5, '0'), 'Text ' || i, 'NOW' from n"});
}
} // namespace

TEST_F(NotizListeTest, FetchesRowsOnlyAsAsked) {
    AddManyNotes(*dm, 1000);
    std::vector<std::pair<int, int>> appended;
    QObject::connect(&list(), &TNotizListe::RowsAboutToBeInserted,
                     [&](int a, int b) { appended.emplace_back(a, b); });
    list().Open();
    const int first = list().RowCount();
    EXPECT_GT(first, 0);
    EXPECT_LT(first, 1000) << "opening must not read the whole table";
    EXPECT_TRUE(list().CanFetchMore());
    EXPECT_EQ(list().FetchMore(10), 10);
    ASSERT_EQ(appended.size(), 1u);
    EXPECT_EQ(appended[0], std::make_pair(first, first + 9));
    EXPECT_EQ(list().Title(first + 9), QString("Notiz %1").arg(first + 10, 5, 10, QChar('0')));

    list().MoveTo(first + 50); // moving beyond the rows held fetches them
    EXPECT_EQ(list().RecNo(), first + 50);
    EXPECT_EQ(list().FieldAsString("BEMERKUNG"), QString("Text %1").arg(first + 51));
    list().Last();
    EXPECT_EQ(list().RowCount(), 1000);
    EXPECT_FALSE(list().CanFetchMore());
    EXPECT_EQ(list().FetchMore(10), 0);
    EXPECT_EQ(list().FieldAsString("TITEL"), "Notiz 01000");
}

TEST_F(NotizListeTest, BeginAndEndMarks) {
    AddManyNotes(*dm, 3);
    list().Open();
    EXPECT_TRUE(list().Bof());
    EXPECT_FALSE(list().Eof());
    list().Prior(); // nothing before the first row
    EXPECT_TRUE(list().Bof());
    EXPECT_EQ(list().RecNo(), 0);
    list().Next();
    EXPECT_FALSE(list().Bof());
    EXPECT_FALSE(list().Eof());
    list().Next();
    EXPECT_EQ(list().RecNo(), 2);
    EXPECT_FALSE(list().Eof()) << "the end is not known before a step finds nothing";
    list().Next();
    EXPECT_TRUE(list().Eof());
    EXPECT_EQ(list().RecNo(), 2);
    list().MoveTo(1); // other moves clear the marks
    EXPECT_FALSE(list().Bof());
    EXPECT_FALSE(list().Eof());
    list().Last();
    EXPECT_TRUE(list().Eof());
    EXPECT_FALSE(list().Bof());
    list().First();
    EXPECT_TRUE(list().Bof());
    EXPECT_FALSE(list().Eof());
    list().Close();
    EXPECT_TRUE(list().Bof());
    EXPECT_TRUE(list().Eof());
    EXPECT_EQ(list().RecNo(), -1);
}

TEST_F(NotizListeTest, CommitClosesTheListAndDropsTheUnsavedEdit) {
    AddNote("Alt", "Text");
    std::vector<TDataSetState> states;
    QObject::connect(&list(), &TNotizListe::StateChange, [&](TDataSetState s) { states.push_back(s); });
    list().Open();
    list().Edit();
    list().SetFieldValue("TITEL", "Neu");
    AddNote("Zweite", "x"); // the new-note window's save commits
    EXPECT_FALSE(list().Active());
    EXPECT_EQ(list().State(), TDataSetState::Inactive);
    EXPECT_EQ(states, (std::vector<TDataSetState>{TDataSetState::Browse, TDataSetState::Edit,
                                                  TDataSetState::Inactive}));
    EXPECT_EQ(Scalar(*dm, "select count(*) as n from tblnotizen where titel = 'Alt'", "N"), "1");
    EXPECT_EQ(Scalar(*dm, "select count(*) as n from tblnotizen where titel = 'Neu'", "N"), "0");
}

TEST_F(NotizListeTest, CommitRetainingKeepsEverythingOpen) {
    AddNote("A", "1");
    AddNote("B", "2");
    list().Open();
    list().Next();
    dm->QueryInternes.SetSQL({"select * from tblinterna"});
    dm->QueryInternes.Open();
    dm->SharedTransaction.CommitRetaining();
    EXPECT_TRUE(dm->SharedTransaction.InTransaction());
    EXPECT_TRUE(list().Active());
    EXPECT_TRUE(dm->QueryInternes.Active());
    EXPECT_EQ(list().RecNo(), 1);
    EXPECT_EQ(list().FieldAsString("BEMERKUNG"), "2");
    list().Edit();
    list().SetFieldValue("BEMERKUNG", "zwei");
    list().Post();
    EXPECT_EQ(list().FieldAsString("BEMERKUNG"), "zwei");
}

TEST_F(NotizListeTest, TextChangedOrKeptAndCancel) {
    AddNote("Titel", "Langer Text\r\nmit Umlauten äöü");
    list().Open();
    // a title change keeps the stored text
    list().Edit();
    list().SetFieldValue("TITEL", "Titel 2");
    list().Post();
    EXPECT_EQ(list().FieldAsString("BEMERKUNG"), "Langer Text\r\nmit Umlauten äöü");
    // a text change is stored as new
    list().Edit();
    list().SetFieldValue("BEMERKUNG", "Neuer Text");
    EXPECT_EQ(list().FieldAsString("BEMERKUNG"), "Neuer Text");
    list().Post();
    EXPECT_EQ(list().FieldAsString("BEMERKUNG"), "Neuer Text");
    // editing again without touching the text keeps the new text
    list().Edit();
    list().SetFieldValue("TITEL", "Titel 3");
    list().Post();
    // cancel gives back the values from before the edit
    list().Edit();
    list().SetFieldValue("TITEL", "verworfen");
    list().SetFieldValue("BEMERKUNG", "verworfen");
    EXPECT_EQ(list().Title(0), "verworfen");
    list().Cancel();
    EXPECT_EQ(list().State(), TDataSetState::Browse);
    EXPECT_EQ(list().FieldAsString("TITEL"), "Titel 3");
    EXPECT_EQ(list().FieldAsString("BEMERKUNG"), "Neuer Text");
    const QString stamp = list().FieldAsString("ZEITSTEMPEL");
    dm->SharedTransaction.Commit();
    EXPECT_EQ(Scalar(*dm, "select * from tblnotizen", "TITEL"), "Titel 3");
    EXPECT_EQ(Scalar(*dm, "select * from tblnotizen", "BEMERKUNG"), "Neuer Text");
    list().Open();
    EXPECT_EQ(list().FieldAsString("ZEITSTEMPEL"), stamp) << "the time stamp goes back as read";
    EXPECT_FALSE(stamp.isEmpty());
}

TEST_F(NotizListeTest, TitleIsLimitedToTheDeclaredLength) {
    AddNote("kurz", "");
    list().Open();
    ASSERT_EQ(list().TitleLength(), 50);
    list().Edit();
    list().SetFieldValue("TITEL", QString(60, QChar(0x00FC))); // 60 x ü
    EXPECT_EQ(list().FieldAsString("TITEL").size(), 50);
    list().Post();
    dm->SharedTransaction.Commit();
    EXPECT_EQ(Scalar(*dm, "select * from tblnotizen", "TITEL"), QString(50, QChar(0x00FC)));
}

TEST_F(NotizListeTest, MovingWhileEditingSavesAChangeOrEndsTheEdit) {
    AddNote("A", "1");
    AddNote("B", "2");
    list().SetSelectSQL("select * from tblnotizen order by tblnotizen.titel asc ");
    list().Open();
    list().Edit();
    list().MoveTo(1); // nothing changed: the edit just ends
    EXPECT_EQ(list().State(), TDataSetState::Browse);
    EXPECT_EQ(list().RecNo(), 1);
    list().Edit();
    list().SetFieldValue("TITEL", "B2");
    list().Prior(); // changed: saved first
    EXPECT_EQ(list().State(), TDataSetState::Browse);
    EXPECT_EQ(list().RecNo(), 0);
    EXPECT_EQ(list().Title(1), "B2");
    dm->SharedTransaction.Commit();
    EXPECT_EQ(Scalar(*dm, "select count(*) as n from tblnotizen where titel = 'B2'", "N"), "1");
}

TEST_F(NotizListeTest, EditOnAnEmptyListInserts) {
    list().Open();
    list().Edit();
    EXPECT_EQ(list().State(), TDataSetState::Insert);
    EXPECT_EQ(list().RowCount(), 1);
    EXPECT_EQ(list().FieldAsString("TITEL"), "");
    list().Cancel();
    EXPECT_EQ(list().State(), TDataSetState::Browse);
    EXPECT_EQ(list().RowCount(), 0);
    EXPECT_EQ(list().RecNo(), -1);

    // a new row without an id is refused by the database and stays being inserted
    list().Edit();
    list().SetFieldValue("TITEL", "ohne id");
    EXPECT_NE(ErrorOf([&] { list().Post(); }), "");
    EXPECT_EQ(list().State(), TDataSetState::Insert);
    EXPECT_EQ(list().FieldAsString("TITEL"), "ohne id");
    // with an id it is stored through the insert statement
    list().SetFieldValue("ID", 77);
    list().SetFieldValue("BEMERKUNG", "neu");
    list().Post();
    EXPECT_EQ(list().State(), TDataSetState::Browse);
    EXPECT_EQ(list().FieldAsString("ID"), "77");
    dm->SharedTransaction.Commit();
    EXPECT_EQ(Scalar(*dm, "select * from tblnotizen where id = 77", "BEMERKUNG"), "neu");
}

TEST_F(NotizListeTest, InsertedRowIsSavedWhenMovingAway) {
    AddNote("A", "1");
    list().Open();
    int inserted = -1;
    QObject::connect(&list(), &TNotizListe::RowsAboutToBeInserted, [&](int r, int) { inserted = r; });
    list().Insert();
    EXPECT_EQ(inserted, 0);
    EXPECT_EQ(list().RowCount(), 2);
    list().SetFieldValue("ID", 500);
    list().SetFieldValue("TITEL", "Eingefügt");
    list().MoveTo(1);
    EXPECT_EQ(list().State(), TDataSetState::Browse);
    EXPECT_EQ(list().Title(0), "Eingefügt");
    EXPECT_EQ(list().FieldAsString("TITEL"), "A");
    // an untouched new row goes away when moving
    list().Insert();
    list().MoveTo(2); // the row after the new one, which shifts back when it is removed
    EXPECT_EQ(list().RowCount(), 2);
    EXPECT_EQ(list().FieldAsString("TITEL"), "A");
}

TEST_F(NotizListeTest, PostingOutsideEditingChangesNothing) {
    AddNote("A", "1");
    list().Open();
    EXPECT_EQ(ErrorOf([&] { list().SetFieldValue("TITEL", "x"); }),
              "DataSetNotizliste: Dataset not in edit or insert mode");
    list().Post();
    list().Cancel();
    EXPECT_EQ(list().State(), TDataSetState::Browse);
    list().Close();
    EXPECT_NE(ErrorOf([&] { list().Edit(); }), "");
}

TEST_F(NotizListeTest, RefreshWhenTheTableHasADefault) {
    // a test copy may carry a default; the delivered file has none
    dm->RunInSharedTransaction(dm->QueryNotizen,
                               {"alter table tblnotizen alter zeitstempel set default current_timestamp"});
    AddNote("A", "alt");
    list().Open();
    list().Edit();
    list().SetFieldValue("BEMERKUNG", "neu gelesen");
    list().Post();
    EXPECT_EQ(list().FieldAsString("BEMERKUNG"), "neu gelesen");
    list().Edit();
    list().SetFieldValue("TITEL", "B");
    list().Post();
    dm->SharedTransaction.Commit();
    EXPECT_EQ(Scalar(*dm, "select * from tblnotizen", "BEMERKUNG"), "neu gelesen");
    EXPECT_EQ(Scalar(*dm, "select * from tblnotizen", "TITEL"), "B");
}

TEST_F(NotizListeTest, ClosingTheConnectionCommitsAPostedEdit) {
    AddNote("A", "1");
    list().Open();
    list().Edit();
    list().SetFieldValue("TITEL", "gesichert");
    list().Post();
    list().Next();
    list().Edit();
    list().SetFieldValue("TITEL", "nicht gesichert");
    dm->Database.Close();
    EXPECT_FALSE(list().Active());
    EXPECT_FALSE(dm->SharedTransaction.InTransaction());
    EXPECT_EQ(Scalar(*dm, "select * from tblnotizen", "TITEL"), "gesichert");
}

TEST_F(NotizListeTest, EndingTheModuleCommitsSavedWorkOnly) {
    AddNote("A", "1");
    AddNote("B", "2");
    list().SetSelectSQL("select * from tblnotizen order by tblnotizen.titel asc ");
    list().Open();
    list().Edit();
    list().SetFieldValue("TITEL", "A gesichert");
    list().Post();
    list().Next();
    list().Edit();
    list().SetFieldValue("TITEL", "B nicht gesichert");
    dm.reset();
    TDataModuleNotizen again(db.Directory());
    ASSERT_TRUE(again.DataModuleCreate());
    EXPECT_EQ(Scalar(again, "select count(*) as n from tblnotizen where titel = 'A gesichert'", "N"), "1");
    EXPECT_EQ(Scalar(again, "select count(*) as n from tblnotizen where titel = 'B'", "N"), "1");
}

TEST_F(NotizListeTest, AnUncommittedChangeElsewhereFailsTheSaveAtOnce) {
    AddNote("A", "1");
    TDataModuleNotizen holder(db.Directory());
    ASSERT_TRUE(holder.DataModuleCreate());
    holder.SharedTransaction.StartTransaction();
    holder.QueryNotizen.SetSQL({"update tblnotizen set titel = 'erste'"});
    holder.QueryNotizen.ExecSQL(); // not committed: the row stays locked

    list().Open();
    EXPECT_EQ(list().FieldAsString("TITEL"), "A") << "reading does not wait for uncommitted changes";
    list().Edit();
    list().SetFieldValue("TITEL", "zweite");
    QElapsedTimer timer;
    timer.start();
    try {
        list().Post();
        FAIL() << "no lock conflict";
    } catch (const fb::Error& e) {
        EXPECT_TRUE(e.IsLockConflict()) << e.what();
        EXPECT_NE(std::string(e.what()).find("update conflicts with concurrent update"), std::string::npos)
            << e.what();
    }
    EXPECT_LT(timer.elapsed(), 3000) << "no waiting";
    EXPECT_EQ(list().State(), TDataSetState::Edit) << "the edit stays for correcting or abandoning";
    EXPECT_EQ(list().FieldAsString("TITEL"), "zweite");

    holder.SharedTransaction.Commit();
    // Tried again after the other commit: that change is not overwritten.
    EXPECT_THROW(list().Post(), TChangedMeanwhile);
    EXPECT_EQ(Scalar(holder, "select * from tblnotizen", "TITEL"), "erste");
}

TEST_F(NotizListeTest, ASaveOverAnotherProgramsChangeIsRefusedAndNothingIsLost) {
    AddNote("Preis", "10 Euro");
    list().Open();
    list().Edit();
    list().SetFieldValue("BEMERKUNG", "12 Euro");

    // Another program saves its change of the same note first.
    TDataModuleNotizen other(db.Directory());
    ASSERT_TRUE(other.DataModuleCreate());
    other.DataSetNotizliste.Open();
    other.DataSetNotizliste.Edit();
    other.DataSetNotizliste.SetFieldValue("BEMERKUNG", "11 Euro");
    other.DataSetNotizliste.Post();

    try {
        list().Post();
        FAIL() << "the other program's change was overwritten";
    } catch (const TChangedMeanwhile& e) {
        EXPECT_NE(std::string(e.what()).find("von einem anderen Programm geändert"), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(list().State(), TDataSetState::Edit);
    EXPECT_EQ(list().FieldAsString("BEMERKUNG"), "12 Euro") << "the user's own text stays";
    EXPECT_THROW(list().Post(), TChangedMeanwhile) << "saving again does not overwrite either";
    EXPECT_EQ(Scalar(other, "select * from tblnotizen", "BEMERKUNG"), "11 Euro");

    // Cancel shows the stored note; an edit from there is saved.
    list().Cancel();
    EXPECT_EQ(list().FieldAsString("BEMERKUNG"), "11 Euro");
    list().Edit();
    list().SetFieldValue("BEMERKUNG", "11 Euro, 12 Euro");
    list().Post();
    EXPECT_EQ(Scalar(other, "select * from tblnotizen", "BEMERKUNG"), "11 Euro, 12 Euro");

    // A title change meanwhile counts as well, and so does a note deleted meanwhile.
    list().Edit();
    list().SetFieldValue("BEMERKUNG", "x");
    other.RunInSharedTransaction(other.QueryNotizen, {"update tblnotizen set titel = 'preis'"});
    EXPECT_THROW(list().Post(), TChangedMeanwhile);
    list().Cancel();
    EXPECT_EQ(list().FieldAsString("TITEL"), "preis");
    list().Edit();
    list().SetFieldValue("BEMERKUNG", "y");
    other.DeleteNote(list().FieldValue("ID").toLongLong());
    try {
        list().Post();
        FAIL() << "a deleted note was saved";
    } catch (const TChangedMeanwhile& e) {
        EXPECT_NE(std::string(e.what()).find("gelöscht"), std::string::npos) << e.what();
    }
    EXPECT_EQ(Scalar(other, "select count(*) as n from tblnotizen", "N"), "0");
}

TEST_F(NotizListeTest, ARefusedSaveLetsGoOfTheRow) {
    AddNote("A", "1");
    list().Open();
    list().Edit();
    list().SetFieldValue("TITEL", "hier");
    TDataModuleNotizen other(db.Directory());
    ASSERT_TRUE(other.DataModuleCreate());
    other.RunInSharedTransaction(other.QueryNotizen, {"update tblnotizen set titel = 'dort'"});
    EXPECT_THROW(list().Post(), TChangedMeanwhile);
    // The other program can go on changing the note while this one still edits.
    other.RunInSharedTransaction(other.QueryNotizen, {"update tblnotizen set titel = 'dort 2'"});
    EXPECT_EQ(Scalar(other, "select * from tblnotizen", "TITEL"), "dort 2");
}

TEST_F(NotizListeTest, OpeningWhileClosedConnectsAndBroadcasts) {
    AddNote("A", "1");
    int broadcasts = 0;
    QObject::connect(dm.get(), &TDataModuleNotizen::Connected, [&] { ++broadcasts; });
    dm->Database.Close();
    list().Open();
    EXPECT_TRUE(dm->Database.Connected());
    EXPECT_TRUE(dm->SharedTransaction.InTransaction());
    EXPECT_EQ(broadcasts, 1);
    EXPECT_EQ(list().FieldAsString("TITEL"), "A");
    dm->SharedTransaction.Commit();
    list().SetSelectSQL("  ");
    EXPECT_EQ(ErrorOf([&] { list().Open(); }), "Empty SQL Statement");
    EXPECT_FALSE(dm->SharedTransaction.InTransaction());
}

TEST_F(NotizListeTest, AThrowingHandlerDoesNotStopTheCommit) {
    AddNote("A", "1");
    list().Open();
    dm->QueryInternes.SetSQL({"select * from tblinterna"});
    dm->QueryInternes.Open();
    QObject::connect(&list(), &TNotizListe::Reset, [&] {
        if (!list().Active())
            list().FieldAsString("TITEL"); // throws: the list is closed
    });
    EXPECT_EQ(ErrorOf([&] { dm->SharedTransaction.Commit(); }), "DataSetNotizliste: Field 'TITEL' not found");
    EXPECT_FALSE(dm->SharedTransaction.InTransaction());
    EXPECT_FALSE(list().Active());
    EXPECT_FALSE(dm->QueryInternes.Active());
    list().Open(); // a new transaction, freshly prepared statements
    EXPECT_EQ(list().FieldAsString("TITEL"), "A");
    EXPECT_NE(ErrorOf([&] { dm->Database.Close(); }), "");
    EXPECT_FALSE(dm->Database.Connected()) << "the connection is closed all the same";
}

TEST_F(NotizListeTest, ACountInTheBackgroundKnowsEveryRowAndOneOfAClosedListingIsDropped) {
    AddManyNotes(*dm, 1000);
    for (int i = 0; i < 4; ++i) // 16,000 notes: the count takes a few milliseconds
        dm->RunInSharedTransaction(dm->QueryNotizen,
                                   {"insert into tblnotizen (id, titel, bemerkung, zeitstempel)",
                                    "select gen_id(GEN_TBLNOTIZEN_ID, 1), titel, bemerkung, "
                                    "zeitstempel from tblnotizen"});
    int counted = 0;
    QObject::connect(&list(), &TNotizListe::TotalCounted, [&] { ++counted; });
    list().SetSelectSQL("select * from tblnotizen");
    list().Open();
    list().CountInBackground();
    list().FetchMore(100); // the same connection meanwhile
    // A commit ends the listing, and with it its transaction, while the count runs in it.
    dm->SharedTransaction.Commit();
    EXPECT_FALSE(list().Active());
    QCoreApplication::processEvents();
    EXPECT_EQ(counted, 0) << "the count of a closed listing is dropped";

    list().Open();
    list().CountInBackground();
    QElapsedTimer waited;
    waited.start();
    while (!list().TotalKnown() && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    EXPECT_EQ(counted, 1);
    EXPECT_EQ(list().RowCount(), 16000) << "every row known before it is read";
    list().Last();
    EXPECT_EQ(list().RowCount(), 16000);
    EXPECT_EQ(list().Title(15999), list().FieldAsString("TITEL"));
}
