// The note windows keep what was typed as drafts (the next program shows it again, saving or
// giving it up removes it), an edit dropped by a commit elsewhere comes back on its note and is
// saved through the changed-meanwhile check, and a deleted note comes back from the trash.
#include "NotesFixture.h"
#include "notes/DraftKeeper.h"
#include "notes/TfrmPapierkorb.h"
#include "store/DraftStore.h"
#include "ui/ConnectionStatusBar.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTest>

class DraftsTest : public NotesFixture {
protected:
    void SetUp() override {
        NotesFixture::SetUp();
        suchen.reset();
        anlegen.reset();
        drafts = std::make_unique<TDraftStore>(home.path(), db.File());
        anlegen = std::make_unique<TfrmAnlegen>(*dm, drafts.get());
        suchen = std::make_unique<TfrmSuchen>(*dm, std::function<void()>{}, drafts.get());
    }
    // Lets the typing pause and the queued refills run.
    static void Pause(int ms = TDraftKeeper::kPauseMs + 300) { QTest::qWait(ms); }
    TNotizListe& liste() { return dm->DataSetNotizliste; }

    QTemporaryDir home;
    std::unique_ptr<TDraftStore> drafts;
};

TEST_F(DraftsTest, ANewNoteTypedComesBackInTheNextProgramUntilItIsSavedOrGivenUp) {
    anlegen->show();
    QTest::keyClicks(anlegen->EditTitel, "Einkauf ");
    anlegen->EditTitel->insert(QString::fromUtf8("für Sonntag"));
    QTest::keyClicks(anlegen->Memo, "Milch");
    QTest::keyClick(anlegen->Memo, Qt::Key_Return);
    QTest::keyClicks(anlegen->Memo, "Eier");
    Pause();
    ASSERT_TRUE(drafts->Load(0)) << "kept a moment after typing pauses";

    // The program ends without a word; the next one shows the text again.
    anlegen.reset();
    TfrmAnlegen next(*dm, drafts.get());
    next.show();
    EXPECT_EQ(next.EditTitel->text(), QString::fromUtf8("Einkauf für Sonntag"));
    EXPECT_EQ(next.MemoText(), "Milch\r\nEier");
    EXPECT_TRUE(next.StatusBar()->Text().startsWith("Ungesicherter Entwurf vom "))
        << next.StatusBar()->Text().toStdString();

    next.BtnSaveClick();
    EXPECT_FALSE(drafts->Load(0)) << "saved: no draft";
    ASSERT_EQ(Committed().size(), 1u);
    EXPECT_EQ(Committed()[0].text, "Milch\r\nEier");

    next.show();
    QTest::keyClicks(next.EditTitel, "Verworfen");
    Pause();
    answer = TModalResult::Yes; // "Fenster ohne zu speichern schließen?"
    next.close();
    EXPECT_FALSE(drafts->Load(0)) << "given up: no draft";
    next.show();
    EXPECT_TRUE(next.EditTitel->text().isEmpty());
}

TEST_F(DraftsTest, AnEditDroppedByACommitComesBackOnItsNoteAndIsSavedThroughTheCheck) {
    AddNote("Miete", "850 Euro");
    AddNote("Preis", "11 Euro");
    suchen->show();
    liste().MoveTo(liste().Locate(2));
    suchen->BtnEditClick();
    suchen->DBMemo->setPlainText("12 Euro");
    // A note saved in the other window commits and empties the list; it fills again on "Preis"
    // with the edit as it was.
    dm->SaveNewNote("Andere", "x");
    Pause(200);
    ASSERT_TRUE(liste().Active());
    EXPECT_EQ(liste().State(), TDataSetState::Edit);
    EXPECT_EQ(liste().FieldAsString("TITEL"), "Preis");
    EXPECT_EQ(suchen->DBMemo->toPlainText(), "12 Euro");
    EXPECT_TRUE(suchen->StatusText().contains("Entwurf")) << suchen->StatusText().toStdString();
    suchen->BtnSaveClick();
    EXPECT_EQ(Committed("where id = 2")[0].text, "12 Euro");
    EXPECT_TRUE(drafts->NoteIds().isEmpty()) << "saved: no draft";

    // Typed, the window closed by the program's end, another program changes the note: the
    // draft comes back with the next showing, and its save is refused, not overwriting.
    suchen->BtnEditClick();
    suchen->DBMemo->setPlainText("13 Euro");
    Pause();
    suchen->FormClose();
    suchen->hide();
    ASSERT_EQ(drafts->NoteIds(), QList<qint64>{2});
    check->QueryInternes.SetSQL({"update tblnotizen set bemerkung = '14 Euro' where id = 2"});
    check->QueryInternes.ExecSQL();
    check->SharedTransaction.Commit();
    suchen->show();
    Pause(200);
    EXPECT_EQ(liste().State(), TDataSetState::Edit);
    EXPECT_EQ(suchen->DBMemo->toPlainText(), "13 Euro");
    EXPECT_THROW(suchen->BtnSaveClick(), TChangedMeanwhile);
    EXPECT_EQ(suchen->DBMemo->toPlainText(), "13 Euro") << "the user's text stays";
    EXPECT_EQ(Committed("where id = 2")[0].text, "14 Euro");
}

TEST_F(DraftsTest, ADeletedNoteComesBackFromTheTrashWithItsText) {
    AddNote("Geburtstag Oma", QString::fromUtf8("Gertrud\r\n\twird 90 🎂"));
    AddNote("Zweite", "bleibt");
    suchen->show();
    liste().MoveTo(liste().Locate(1));
    answer = TModalResult::Yes;
    suchen->BtnDeleteClick();
    ASSERT_EQ(Committed().size(), 1u);

    TfrmPapierkorb trash(*dm, suchen.get());
    trash.show();
    ASSERT_EQ(trash.Entries().size(), 1u);
    EXPECT_EQ(trash.GridPapierkorb->item(0, 0)->text(), "Geburtstag Oma");
    EXPECT_EQ(trash.MemoPapierkorb->toPlainText(), QString::fromUtf8("Gertrud\n\twird 90 🎂"));
    trash.BtnWiederherstellenClick();
    ASSERT_EQ(trash.RestoredId(), 1);
    suchen->ShowRestored(trash.RestoredId(), trash.RestoredTitle());

    EXPECT_EQ(liste().FieldAsString("TITEL"), "Geburtstag Oma");
    EXPECT_EQ(suchen->StatusText(), QString::fromUtf8("Notiz GEBURTSTAG OMA wurde wiederhergestellt"));
    EXPECT_EQ(Committed("where id = 1")[0].text, QString::fromUtf8("Gertrud\r\n\twird 90 🎂"));
    trash.show();
    EXPECT_TRUE(trash.Entries().empty());
}
