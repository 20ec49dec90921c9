// The new-note window on a real database copy.
#include "NotesFixture.h"
#include "ui/ConnectionStatusBar.h"
#include "ui/DbWaitCursor.h"

#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

using AnlegenTest = NotesFixture;

TEST_F(AnlegenTest, TitleTakesAtMostFiftyCharactersTypedOrPasted) {
    anlegen->show();
    QTest::keyClicks(anlegen->EditTitel, QString(50, 'a'));
    QTest::keyClicks(anlegen->EditTitel, "b");
    EXPECT_EQ(anlegen->EditTitel->text(), QString(50, 'a'));

    anlegen->EditTitel->clear();
    QApplication::clipboard()->setText(QString(40, 'x') + QString(20, 'y'));
    anlegen->EditTitel->paste();
    EXPECT_EQ(anlegen->EditTitel->text(), QString(40, 'x') + QString(10, 'y'));
}

TEST_F(AnlegenTest, SavesTitleWithApostrophesAndTextWithTabsAndLineBreaks) {
    anlegen->show();
    QTest::keyClicks(anlegen->EditTitel, "Peter's 'Liste'");
    anlegen->Memo->setFocus();
    QTest::keyClicks(anlegen->Memo, "eins");
    QTest::keyClick(anlegen->Memo, Qt::Key_Tab);
    QTest::keyClicks(anlegen->Memo, "zwei");
    QTest::keyClick(anlegen->Memo, Qt::Key_Return);
    QTest::keyClicks(anlegen->Memo, "drei");

    anlegen->BtnSaveClick();

    const auto notes = Committed();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].title, "Peter's 'Liste'");
    EXPECT_EQ(notes[0].text, "eins\tzwei\r\ndrei");
    EXPECT_FALSE(anlegen->isVisible());
    EXPECT_TRUE(anlegen->EditTitel->text().isEmpty());
    EXPECT_TRUE(anlegen->Memo->toPlainText().isEmpty());
    EXPECT_TRUE(dialogs.empty());
    EXPECT_FALSE(dm->SharedTransaction.InTransaction());

    // The database's own stamp and the generator's id.
    TQuery& q = dm->QueryInternes;
    q.SetSQL({"select id, zeitstempel from tblnotizen"});
    q.Open();
    EXPECT_GT(q.FieldAsInteger("ID"), 0);
    EXPECT_FALSE(q.FieldIsNull("ZEITSTEMPEL"));
    q.Close();
}

TEST_F(AnlegenTest, EmptyNoteIsStoredAndClosesWithoutQuestion) {
    anlegen->show();
    anlegen->BtnSaveClick();
    const auto notes = Committed();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].title, "");
    EXPECT_EQ(notes[0].text, "");
    EXPECT_FALSE(anlegen->isVisible());
    EXPECT_TRUE(dialogs.empty());
}

TEST_F(AnlegenTest, ClosingWithTextAsksAndNoKeepsTheFields) {
    anlegen->show();
    anlegen->Memo->setPlainText("nur Text");
    answer = TModalResult::No;
    anlegen->close();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].type, TMsgDlgType::Confirmation);
    EXPECT_EQ(dialogs[0].buttons, mbYes | mbNo);
    EXPECT_EQ(dialogs[0].text,
              "Die Notizdaten wurden noch nicht gespeichert.\nFenster ohne zu speichern schließen?");
    EXPECT_TRUE(anlegen->isVisible());
    EXPECT_EQ(anlegen->Memo->toPlainText(), "nur Text");

    answer = TModalResult::Cancel; // the dialog's own close box
    anlegen->close();
    EXPECT_FALSE(anlegen->isVisible());
    EXPECT_EQ(anlegen->Memo->toPlainText(), "nur Text"); // kept while hidden
    anlegen->show();
    EXPECT_TRUE(anlegen->Memo->toPlainText().isEmpty());
    EXPECT_TRUE(Committed().empty());

    dialogs.clear();
    anlegen->close(); // empty: no question
    EXPECT_TRUE(dialogs.empty());
    EXPECT_FALSE(anlegen->isVisible());
}

TEST_F(AnlegenTest, ShowingAVisibleWindowKeepsItsText) {
    anlegen->show();
    anlegen->EditTitel->setText("halb fertig");
    anlegen->show();
    anlegen->raise();
    EXPECT_EQ(anlegen->EditTitel->text(), "halb fertig");
}

TEST_F(AnlegenTest, FailedSaveKeepsTheWindowAndItsText) {
    anlegen->show();
    anlegen->EditTitel->setText("bleibt");
    anlegen->Memo->setPlainText("auch");
    dm->Database.Close(); // starting the transaction now fails
    EXPECT_THROW(anlegen->BtnSaveClick(), std::exception);
    EXPECT_FALSE(TDbWaitCursor::Active());
    EXPECT_TRUE(anlegen->isVisible());
    EXPECT_EQ(anlegen->EditTitel->text(), "bleibt");
    EXPECT_EQ(anlegen->Memo->toPlainText(), "auch");
    EXPECT_TRUE(Committed().empty());
}

TEST_F(AnlegenTest, LayoutAndHelpContext) {
    EXPECT_EQ(anlegen->windowTitle(), "Notiz erfassen");
    EXPECT_EQ(anlegen->property("helpContext").toInt(), 1002);
    EXPECT_EQ(anlegen->EditTitel->maxLength(), 50);
    EXPECT_EQ(anlegen->EditTitel->size(), QSize(617, 21));
    EXPECT_EQ(anlegen->Memo->size(), QSize(617, 153));
    EXPECT_EQ(anlegen->Memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(anlegen->BtnSave->toolTip(), "Notiz sichern (Strg+S)");
    EXPECT_EQ(anlegen->StatusBar(), anlegen->StatusBarMain);
    const QPoint before = anlegen->EditTitel->pos();
    anlegen->resize(900, 500);
    EXPECT_EQ(anlegen->EditTitel->pos(), before);
    EXPECT_EQ(anlegen->Memo->size(), QSize(617, 153));
}

TEST_F(AnlegenTest, EndingTheProgramDoesNotAsk) {
    anlegen->show();
    anlegen->EditTitel->setText("ungespeichert");
    AddNote("Einkauf", "Milch");
    suchen->show();
    suchen->BtnEditClick();
    ASSERT_EQ(dm->DataSetNotizliste.State(), TDataSetState::Edit);
    answer = TModalResult::No;
    QTimer::singleShot(0, [] { QCoreApplication::quit(); });
    QTimer::singleShot(2000, [] { QCoreApplication::exit(1); }); // a refused quit
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(dialogs.empty());
    EXPECT_FALSE(anlegen->isVisible());
    EXPECT_FALSE(suchen->isVisible());

    // Closing a window by itself still asks.
    anlegen->show();
    anlegen->EditTitel->setText("ungespeichert");
    anlegen->close();
    EXPECT_EQ(dialogs.size(), 1u);
}
