// Reading every note for an export and adding notes for an import, on a real database copy.
#include "store/NoteTransfer.h"

#include "StoreTestSupport.h"

namespace {

using NoteTransfer = StoreFixture;

std::vector<TNoteRecord> All(TDataModuleNotizen& m) {
    std::vector<TNoteRecord> notes;
    ReadAllNotes(m, [&](const TNoteRecord& n) { notes.push_back(n); });
    return notes;
}

} // namespace

TEST_F(NoteTransfer, AddedNotesKeepTitleTextAndStampAndComeInTitleOrder) {
    AddNote("Mitte", "schon da");
    const QDateTime stamp(QDate(2019, 7, 14), QTime(23, 59, 58, 123));
    AddNotes(*dm, {{0, "zebra", "Z\r\nz", stamp},
                   {0, "Äpfel", "", QDateTime()},
                   {0, "apfel", "a\tb", stamp},
                   {0, "", "ohne Titel", stamp}});
    const std::vector<TNoteRecord> notes = All(*dm);
    ASSERT_EQ(notes.size(), 5u);
    QStringList titles;
    for (const TNoteRecord& n : notes)
        titles << n.title;
    // The title's collation ignores letter case and treats Ä as A with a mark.
    EXPECT_EQ(titles, QStringList({"", "apfel", "Äpfel", "Mitte", "zebra"}));
    EXPECT_EQ(notes[4].text, "Z\r\nz");
    EXPECT_EQ(notes[4].stamp, stamp);
    EXPECT_FALSE(notes[2].stamp.isValid()); // none given: none stored
    EXPECT_EQ(notes[3].text, "schon da");
    EXPECT_TRUE(notes[3].stamp.isValid());
    // Ids from the generator, after the note that was there.
    EXPECT_GT(notes[4].id, notes[3].id);
}

TEST_F(NoteTransfer, AFailingInsertAddsNothing) {
    AddNote("bleibt", "");
    const std::string error = ErrorOf([&] {
        AddNotes(*dm, {{0, "gut", "", {}}, {0, QString(51, u'x'), "zu lang", {}}});
    });
    EXPECT_FALSE(error.empty());
    const std::vector<TNoteRecord> notes = All(*dm);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].title, "bleibt");
}

TEST_F(NoteTransfer, TheExportReadsOneSnapshotBesideTheProgramsOwnWork) {
    AddNote("eins", "1");
    AddNote("zwei", "2");
    // The list of the program's window is open (with its shared transaction) meanwhile.
    dm->ListNotesByTitle();
    ASSERT_TRUE(dm->DataSetNotizliste.Active());
    TDataModuleNotizen other(db.Directory());
    ASSERT_TRUE(other.DataModuleCreate());
    int seen = 0;
    ReadAllNotes(*dm, [&](const TNoteRecord&) {
        // Another program adds a note while the export reads: the export does not see it.
        if (seen++ == 0)
            other.SaveNewNote("drei", "3");
    });
    EXPECT_EQ(seen, 2);
    EXPECT_TRUE(dm->DataSetNotizliste.Active()) << "the list stays open";
    EXPECT_EQ(All(*dm).size(), 3u);
}

TEST_F(NoteTransfer, OnlyNotesThatAreNotThereAreAdded) {
    const QDateTime stamp(QDate(2019, 7, 14), QTime(23, 59, 58, 123));
    AddNotes(*dm, {{0, "Einkauf", "Brot\r\n", stamp, 4}, {0, "ohne Zeit", "x", {}}});
    const std::vector<bool> added = AddNewNotes(*dm, {
                                                         {0, "Einkauf", "Brot\r\n", stamp, 4}, // there
                                                         {0, "Einkauf", "Brot\r\n", stamp, 4}, // a second one
                                                         {0, "einkauf", "Brot\r\n", stamp, 4}, // letter case
                                                         {0, "Einkauf", "Brot\n", stamp, 4},   // line break
                                                         {0, "Einkauf", "Brot\r\n", stamp, 5}, // 1/10000 s
                                                         {0, "ohne Zeit", "x", {}},            // there
                                                         {0, "ohne Zeit", "x", stamp},         // a stamp
                                                     });
    EXPECT_EQ(added, std::vector<bool>({false, true, true, true, true, false, true}));
    const std::vector<TNoteRecord> notes = All(*dm);
    EXPECT_EQ(notes.size(), 2u + 5u);
    int exact = 0;
    for (const TNoteRecord& n : notes)
        exact += n.title == "Einkauf" && n.text == "Brot\r\n" && n.stamp == stamp && n.stampTicks == 4;
    EXPECT_EQ(exact, 2);
    // Both are there now: the same two again add nothing.
    EXPECT_EQ(AddNewNotes(*dm, {{0, "Einkauf", "Brot\r\n", stamp, 4}, {0, "Einkauf", "Brot\r\n", stamp, 4}}),
              std::vector<bool>({false, false}));
}
