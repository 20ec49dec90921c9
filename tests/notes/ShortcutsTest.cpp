// Keyboard shortcuts of the two note windows, typed into the shown windows.
#include "NotesFixture.h"

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTest>

namespace {

class Shortcuts : public NotesFixture {
protected:
    void SetUp() override {
        NotesFixture::SetUp();
        suchen = std::make_unique<TfrmSuchen>(*dm, [this] { ++newNotes; });
        AddNote("Zebra", "gestreift");
        AddNote("Amsel", "schwarz");
    }

    // Shown and active, so that its shortcuts apply.
    static void Activate(QWidget* window) {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    }
    // A key as a user types it: into the focused field, shortcuts first.
    static void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_TRUE(target);
        QTest::keyClick(target, key, modifiers);
    }

    int newNotes = 0;
};

} // namespace

TEST_F(Shortcuts, NewNoteWindowSavesWithCtrlSAndClosesWithEscape) {
    EXPECT_EQ(anlegen->BtnSave->toolTip(), "Notiz sichern (Strg+S)");
    ASSERT_NO_FATAL_FAILURE(Activate(anlegen.get()));
    QTest::keyClicks(anlegen->EditTitel, "Per Tastatur");
    anlegen->Memo->setFocus();
    QTest::keyClicks(anlegen->Memo, "Text");
    Key(Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(Committed().size(), 3u);
    EXPECT_EQ(Committed().back().title, "Per Tastatur");
    EXPECT_EQ(Committed().back().text, "Text");
    EXPECT_FALSE(anlegen->isVisible());
    EXPECT_TRUE(dialogs.empty());

    // Escape asks as every close does while something is typed; "&No" keeps it all.
    ASSERT_NO_FATAL_FAILURE(Activate(anlegen.get()));
    QTest::keyClicks(anlegen->EditTitel, "Entwurf");
    answer = TModalResult::No;
    Key(Qt::Key_Escape);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].type, TMsgDlgType::Confirmation);
    EXPECT_TRUE(anlegen->isVisible());
    EXPECT_EQ(anlegen->EditTitel->text(), "Entwurf");
    answer = TModalResult::Yes;
    Key(Qt::Key_Escape);
    EXPECT_FALSE(anlegen->isVisible());
    EXPECT_EQ(Committed().size(), 3u);

    // Empty fields: Escape closes without a question.
    ASSERT_NO_FATAL_FAILURE(Activate(anlegen.get()));
    Key(Qt::Key_Escape);
    EXPECT_FALSE(anlegen->isVisible());
    EXPECT_EQ(dialogs.size(), 2u);
}

TEST_F(Shortcuts, ListWindowSearchesListsSavesAndOpensANewNote) {
    EXPECT_EQ(suchen->BtnSave->toolTip(), "Notizänderung sichern (Strg+S)");
    EXPECT_EQ(suchen->EditSuchen->toolTip(), "Suchbegriff eingeben (Strg+F)");
    EXPECT_EQ(suchen->BtnAlleNotizen->toolTip(), "Alle Notizen auflisten (F5)");
    EXPECT_TRUE(suchen->DBGridNotizen->toolTip().contains("Strg+N"));
    ASSERT_NO_FATAL_FAILURE(Activate(suchen.get()));
    TNotizListe& liste = dm->DataSetNotizliste;

    // Ctrl+F from anywhere: into the search field, its text selected for typing over.
    suchen->EditSuchen->setText("alt");
    suchen->DBGridNotizen->setFocus();
    Key(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), suchen->EditSuchen);
    EXPECT_EQ(suchen->EditSuchen->selectedText(), "alt");

    // F5 lists all notes by title even right after showing, when its button is disabled.
    ASSERT_FALSE(suchen->BtnAlleNotizen->isEnabled());
    Key(Qt::Key_F5);
    EXPECT_EQ(liste.SelectSQL(), "select * from tblnotizen order by tblnotizen.titel asc ");
    EXPECT_EQ(ListedTitles(), QStringList({"Amsel", "Zebra"}));
    EXPECT_TRUE(suchen->EditSuchen->text().isEmpty());
    EXPECT_FALSE(suchen->BtnAlleNotizen->isEnabled());

    // Ctrl+S does nothing while browsing, and saves an edit.
    Key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(liste.State(), TDataSetState::Browse);
    suchen->BtnEdit->trigger();
    suchen->DBEditTitel->setFocus();
    suchen->DBEditTitel->selectAll();
    QTest::keyClicks(suchen->DBEditTitel, "Amseln");
    Key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(liste.State(), TDataSetState::Browse);
    EXPECT_EQ(Committed().back().title, "Amseln"); // durable at once (id order: Zebra, Amsel)

    // Ctrl+N: the program's new-note window.
    Key(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(newNotes, 1);
    EXPECT_TRUE(dialogs.empty());
}

TEST_F(Shortcuts, EscapeClosesTheListAskingWhileANoteIsEdited) {
    ASSERT_NO_FATAL_FAILURE(Activate(suchen.get()));
    TNotizListe& liste = dm->DataSetNotizliste;
    suchen->BtnEdit->trigger();
    ASSERT_EQ(liste.State(), TDataSetState::Edit);
    suchen->DBEditTitel->setFocus();
    suchen->DBEditTitel->selectAll();
    suchen->DBEditTitel->insert("geändert"); // typed over the selection
    answer = TModalResult::No;
    Key(Qt::Key_Escape);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].type, TMsgDlgType::Custom);
    EXPECT_EQ(dialogs[0].text,
              "Die Änderung wurde noch nicht gespeichert.\nFenster ohne zu speichern schließen?");
    // The field keeps what was typed: Escape is the window's, not the field's.
    EXPECT_TRUE(suchen->isVisible());
    EXPECT_EQ(liste.State(), TDataSetState::Edit);
    EXPECT_EQ(suchen->DBEditTitel->text(), "geändert");

    answer = TModalResult::Yes;
    Key(Qt::Key_Escape);
    EXPECT_FALSE(suchen->isVisible());
    EXPECT_FALSE(liste.Active());
    QStringList titles;
    for (const TStoredNote& n : Committed())
        titles << n.title;
    EXPECT_EQ(titles, QStringList({"Zebra", "Amsel"})); // the edit was dropped

    // Browsing: no question.
    ASSERT_NO_FATAL_FAILURE(Activate(suchen.get()));
    Key(Qt::Key_Escape);
    EXPECT_FALSE(suchen->isVisible());
    EXPECT_EQ(dialogs.size(), 2u);
}
