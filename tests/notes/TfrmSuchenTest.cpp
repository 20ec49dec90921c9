// The notes list window on a real database copy.
#include "NotesFixture.h"
#include "notes/TDBNavigator.h"
#include "notes/TNotizListeModel.h"
#include "store/NoteStatements.h"
#include "ui/ConnectionStatusBar.h"
#include "ui/DbWaitCursor.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>

class SuchenTest : public NotesFixture {
protected:
    void SetUp() override {
        NotesFixture::SetUp();
        AddNote("Einkauf", "Milch und Eier");
        AddNote("Einkaufsliste", "Brot");
        AddNote("Sonstiges", "Noch EINKAUF machen");
        AddNote("Peter's Notiz", "O'Brien kommt um 5");
        AddNote("Grüße", "an alle");
        AddNote("prozent%", "100% sicher");
    }
    TNotizListe& liste() { return dm->DataSetNotizliste; }
    void Search(const QString& term) {
        suchen->EditSuchen->setText(term);
        suchen->EditSuchenClickBtn();
    }
    int RowOf(const QString& title) { return ListedTitles().indexOf(title); }
};

TEST_F(SuchenTest, ShowListsAllNotesUnorderedAndResetsTheSearch) {
    suchen->EditSuchen->setText("alt");
    suchen->show();
    EXPECT_TRUE(suchen->EditSuchen->text().isEmpty());
    EXPECT_FALSE(suchen->BtnAlleNotizen->isEnabled());
    EXPECT_EQ(liste().SelectSQL(), "select * from tblnotizen");
    EXPECT_EQ(liste().State(), TDataSetState::Browse);
    EXPECT_EQ(ListedTitles().size(), 6);
    EXPECT_EQ(suchen->DBEditTitel->text(), liste().FieldAsString("TITEL"));
    EXPECT_EQ(suchen->DBMemo->toPlainText(), StoredTextToMemo(liste().FieldAsString("BEMERKUNG")));
    EXPECT_FALSE(suchen->DBTextZeitstempel->text().isEmpty());
    EXPECT_FALSE(TDbWaitCursor::Active());
    // Browsing look.
    EXPECT_TRUE(suchen->DBEditTitel->isReadOnly());
    EXPECT_TRUE(suchen->DBMemo->isReadOnly());
    EXPECT_FALSE(suchen->BtnSave->isEnabled());
    EXPECT_TRUE(suchen->BtnEdit->isEnabled());
    EXPECT_FALSE(suchen->BtnCancel->isEnabled());
    EXPECT_EQ(suchen->DBEditTitel->palette().color(QPalette::Base), TfrmSuchen::Light3DColour());
    EXPECT_EQ(suchen->Model()->TitleBackground(), QColor(192, 192, 192));
    EXPECT_EQ(suchen->Model()->columnCount(), 5);
    for (int c = TNotizListeModel::kTitelField; c < 5; ++c)
        EXPECT_TRUE(suchen->DBGridNotizen->isColumnHidden(c)) << c; // the grid shows marker and title
    EXPECT_EQ(suchen->Model()->MarkerAt(liste().RecNo()), TNotizListeModel::TMarker::Browse);
    EXPECT_FALSE(suchen->Model()->flags(suchen->Model()->index(0, 1)) & Qt::ItemIsEditable);
}

TEST_F(SuchenTest, SearchFindsEveryWordAnywhereAndWhatTheTitleAndTextTestsFound) {
    suchen->show();
    Search("einkauf"); // a word of a title too, not only the whole title
    EXPECT_TRUE(liste().SelectSQL().contains("in memory")) << "searched in the window's index";
    QStringList titles = ListedTitles();
    titles.sort();
    EXPECT_EQ(titles, QStringList({"Einkauf", "Einkaufsliste", "Sonstiges"}));
    EXPECT_TRUE(suchen->BtnAlleNotizen->isEnabled());

    Search("einkauf%"); // the title's wildcard test still holds; in the text % is no wildcard
    titles = ListedTitles();
    titles.sort();
    EXPECT_EQ(titles, QStringList({"Einkauf", "Einkaufsliste"}));
    Search("milch eier"); // several words, each anywhere
    EXPECT_EQ(ListedTitles(), QStringList({"Einkauf"}));

    Search("Peter's Notiz"); // apostrophe in the title test
    EXPECT_EQ(ListedTitles(), QStringList({"Peter's Notiz"}));
    Search("o'brien"); // and in the text test, any letter case
    EXPECT_EQ(ListedTitles(), QStringList({"Peter's Notiz"}));
    Search("0%"); // % is an ordinary character in the text test
    EXPECT_EQ(ListedTitles(), QStringList({"prozent%"}));

    Search(""); // not refused: every note
    EXPECT_EQ(ListedTitles().size(), 6);
}

TEST_F(SuchenTest, SearchFindsTitlesWithUmlautsAsTyped) {
    suchen->show();
    Search("Grüße");
    EXPECT_EQ(ListedTitles(), QStringList({"Grüße"}));
    Search("grüße");
    EXPECT_EQ(ListedTitles(), QStringList({"Grüße"}));
}

TEST_F(SuchenTest, EnterInTheSearchFieldAndItsButtonSearch) {
    suchen->show();
    suchen->EditSuchen->setText("Brot");
    QTest::keyClick(suchen->EditSuchen, Qt::Key_Return);
    EXPECT_EQ(ListedTitles(), QStringList({"Einkaufsliste"}));
    EXPECT_EQ(suchen->EditSuchen->text(), "Brot");
    suchen->EditSuchen->setText("Eier");
    suchen->EditSuchenButton->trigger();
    EXPECT_EQ(ListedTitles(), QStringList({"Einkauf"}));
    suchen->EditSuchen->setText("an alle");
    suchen->BtnSuchen->trigger();
    EXPECT_EQ(ListedTitles(), QStringList({"Grüße"}));
}

TEST_F(SuchenTest, ListAllNotesOrdersByTitleAndResetsTheSearch) {
    suchen->show();
    Search("Brot");
    suchen->StatusBarListe->SetText("bleibt");
    suchen->BtnAlleNotizen->trigger();
    EXPECT_FALSE(suchen->BtnAlleNotizen->isEnabled());
    EXPECT_TRUE(suchen->EditSuchen->text().isEmpty());
    EXPECT_EQ(liste().SelectSQL(), "select * from tblnotizen order by tblnotizen.titel asc ");
    QStringList sorted = ListedTitles();
    EXPECT_EQ(sorted.size(), 6);
    EXPECT_EQ(sorted.first(), "Einkauf");
    QTest::qWait(50);
    EXPECT_EQ(suchen->StatusText(), "6 Notizen") << "a status text goes when the next action starts";
}

TEST_F(SuchenTest, DeleteOnEmptyListOrClosedList) {
    suchen->show();
    Search("gibt es nicht");
    ASSERT_TRUE(liste().IsEmpty());
    suchen->BtnDeleteClick();
    EXPECT_EQ(suchen->StatusText(), "Keine Notiz zum Löschen vorhanden");
    EXPECT_TRUE(dialogs.empty());
    EXPECT_EQ(Committed().size(), 6u);

    AddNote("", "ohne Titel"); // a note with an empty title is not offered for deletion
    Search("ohne Titel");
    ASSERT_EQ(ListedTitles(), QStringList({""}));
    suchen->StatusBarListe->SetText("");
    suchen->BtnDeleteClick();
    EXPECT_EQ(suchen->StatusText(), "Keine Notiz zum Löschen vorhanden");
    EXPECT_TRUE(dialogs.empty());
    EXPECT_EQ(Committed().size(), 7u);

    suchen->StatusBarListe->SetText("vorher");
    liste().Close();
    try {
        suchen->BtnDeleteClick();
        ADD_FAILURE() << "a closed list has no title to read";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "DataSetNotizliste: Field 'TITEL' not found");
    }
    EXPECT_EQ(suchen->StatusText(), "vorher");
    EXPECT_TRUE(dialogs.empty());
}

TEST_F(SuchenTest, DeleteAsksWithCapitalsAtoZOnly) {
    suchen->show();
    Search("an alle");
    ASSERT_EQ(ListedTitles(), QStringList({"Grüße"}));

    answer = TModalResult::No;
    suchen->BtnDeleteClick();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].text, "Soll die Notiz mit dem Titel GRüßE gelöscht werden?");
    EXPECT_EQ(dialogs[0].type, TMsgDlgType::Confirmation);
    EXPECT_EQ(dialogs[0].buttons, mbYes | mbNo);
    EXPECT_EQ(suchen->StatusText(), "Löschaktion wurde abgebrochen");
    EXPECT_EQ(Committed().size(), 6u);

    answer = TModalResult::Cancel; // dismissed through the close box
    suchen->BtnDeleteClick();
    EXPECT_EQ(suchen->StatusText(), "Löschaktion wurde abgebrochen");
    EXPECT_EQ(Committed().size(), 6u);

    answer = TModalResult::Yes;
    suchen->BtnDeleteClick();
    EXPECT_EQ(suchen->StatusText(), "Notiz GRüßE wurde gelöscht");
    EXPECT_TRUE(Committed("where titel = 'Grüße'").empty());
    EXPECT_EQ(Committed().size(), 5u);
    // Listed again, all notes by title; the search field is left as it was.
    EXPECT_EQ(liste().SelectSQL(), "select * from tblnotizen order by tblnotizen.titel asc ");
    EXPECT_EQ(ListedTitles().size(), 5);
    EXPECT_EQ(suchen->EditSuchen->text(), "an alle");
    EXPECT_TRUE(suchen->BtnAlleNotizen->isEnabled());
}

TEST_F(SuchenTest, DeleteWhileEditingDropsTheChangeWithTheNote) {
    suchen->show();
    suchen->ListAllNotes();
    suchen->BtnEditClick();
    ASSERT_EQ(liste().State(), TDataSetState::Edit);
    suchen->DBEditTitel->setText("geändert");
    suchen->BtnDeleteClick();
    EXPECT_EQ(suchen->StatusText(), "Notiz EINKAUF wurde gelöscht");
    EXPECT_EQ(liste().State(), TDataSetState::Browse);
    EXPECT_EQ(Committed().size(), 5u);
    EXPECT_TRUE(Committed("where titel = 'geändert'").empty());
}

TEST_F(SuchenTest, EditSaveAndCancel) {
    suchen->show();
    suchen->ListAllNotes();
    const int row = liste().RecNo();
    suchen->BtnSaveClick(); // browsing: nothing
    suchen->BtnEditClick();
    EXPECT_EQ(liste().State(), TDataSetState::Edit);
    EXPECT_FALSE(suchen->DBEditTitel->isReadOnly());
    EXPECT_FALSE(suchen->DBMemo->isReadOnly());
    EXPECT_TRUE(suchen->BtnSave->isEnabled());
    EXPECT_FALSE(suchen->BtnEdit->isEnabled());
    EXPECT_TRUE(suchen->BtnCancel->isEnabled());
    EXPECT_EQ(suchen->DBMemo->palette().color(QPalette::Base), TfrmSuchen::WindowColour());
    EXPECT_EQ(suchen->Model()->MarkerAt(row), TNotizListeModel::TMarker::Edit);

    suchen->DBEditTitel->setText("zuletzt");
    suchen->BtnCancelClick();
    EXPECT_EQ(liste().State(), TDataSetState::Browse);
    EXPECT_EQ(suchen->DBEditTitel->text(), "Einkauf");

    suchen->BtnEditClick();
    suchen->DBEditTitel->setText("zuletzt");
    suchen->DBMemo->setPlainText("Zeile 1\nZeile 2");
    suchen->BtnSaveClick();
    EXPECT_EQ(liste().State(), TDataSetState::Browse);
    EXPECT_EQ(liste().RecNo(), row); // not re-sorted
    EXPECT_EQ(suchen->Model()->data(suchen->Model()->index(row, 1)).toString(), "zuletzt");
    // Saved means durable: another connection sees it at once, and the list stays open.
    const auto saved = Committed("where titel = 'zuletzt'");
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].text, "Zeile 1\r\nZeile 2");
    EXPECT_TRUE(liste().Active());
    suchen->ListAllNotes();
    EXPECT_EQ(ListedTitles().last(), "zuletzt");
}

TEST_F(SuchenTest, ShowingAVisibleWindowKeepsListAndSearch) {
    suchen->show();
    Search("Brot");
    suchen->StatusBarListe->SetText("bleibt");
    suchen->show();
    suchen->raise();
    EXPECT_EQ(suchen->EditSuchen->text(), "Brot");
    EXPECT_TRUE(liste().SelectSQL().contains("Brot"));
    EXPECT_EQ(suchen->StatusText(), "bleibt");
    EXPECT_TRUE(suchen->BtnAlleNotizen->isEnabled());
}

TEST_F(SuchenTest, RefusedSaveKeepsEditingWithTheChanges) {
    suchen->show();
    suchen->ListAllNotes();
    ASSERT_EQ(liste().Title(0), "Einkauf");
    // Another connection holds the row with an uncommitted change.
    Committed();
    check->SharedTransaction.StartTransaction();
    check->QueryInternes.SetSQL({"update tblnotizen set titel = 'fremd' where titel = 'Einkauf'"});
    check->QueryInternes.ExecSQL();

    suchen->BtnEditClick();
    suchen->DBEditTitel->setText("meins");
    EXPECT_THROW(suchen->BtnSaveClick(), std::exception);
    EXPECT_EQ(liste().State(), TDataSetState::Edit);
    EXPECT_EQ(suchen->DBEditTitel->text(), "meins");

    // Moving to another row shows the error and stays on the edited row.
    suchen->DBGridNotizen->setCurrentIndex(suchen->Model()->index(2, 1));
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].type, TMsgDlgType::Error);
    EXPECT_EQ(liste().State(), TDataSetState::Edit);
    EXPECT_EQ(liste().RecNo(), 0);
    EXPECT_EQ(suchen->DBGridNotizen->currentIndex().row(), 0);
    EXPECT_EQ(suchen->DBEditTitel->text(), "meins");

    check->SharedTransaction.Commit(); // the other side gives way; now it can be saved
    suchen->BtnCancelClick();
    EXPECT_EQ(liste().State(), TDataSetState::Browse);
}

TEST_F(SuchenTest, UnchangedTextIsWrittenBackAsStored) {
    AddNote("Roh", "a\nb\r\nc"); // a bare line feed from elsewhere
    suchen->show();
    Search("Roh");
    suchen->BtnEditClick();
    suchen->DBEditTitel->setText("Roh2");
    suchen->BtnSaveClick();
    dm->SharedTransaction.Commit();
    const auto saved = Committed("where titel = 'Roh2'");
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].text, "a\nb\r\nc");
}

TEST_F(SuchenTest, EditThenMoveSavesAndANewNoteMakesItDurable) {
    suchen->show();
    suchen->ListAllNotes();
    suchen->BtnEditClick();
    suchen->DBEditTitel->setText("Einkauf neu");
    suchen->GridRowChosen(2);
    EXPECT_EQ(liste().State(), TDataSetState::Browse);
    EXPECT_EQ(liste().RecNo(), 2);
    EXPECT_EQ(liste().Title(0), "Einkauf neu");
    EXPECT_TRUE(dialogs.empty());
    EXPECT_EQ(Committed("where titel = 'Einkauf neu'").size(), 1u); // durable when saved

    // Saving a new note commits: the list goes empty.
    anlegen->show();
    anlegen->EditTitel->setText("Neu");
    anlegen->BtnSaveClick();
    EXPECT_FALSE(liste().Active());
    EXPECT_EQ(suchen->Model()->rowCount(), 0);
    EXPECT_TRUE(suchen->DBEditTitel->text().isEmpty());
    EXPECT_TRUE(suchen->DBMemo->toPlainText().isEmpty());
    EXPECT_TRUE(suchen->DBTextZeitstempel->text().isEmpty());
    EXPECT_FALSE(suchen->DBNavigator->BtnNext->isEnabled());
    EXPECT_EQ(Committed("where titel = 'Einkauf neu'").size(), 1u);
    EXPECT_EQ(Committed().size(), 7u);
}

TEST_F(SuchenTest, MoveWithoutChangeAbandonsASearchWaitsForAnEditAndListingAllDropsIt) {
    suchen->show();
    suchen->ListAllNotes();
    suchen->BtnEditClick();
    suchen->GridRowChosen(1);
    EXPECT_EQ(liste().State(), TDataSetState::Browse);
    EXPECT_EQ(liste().RecNo(), 1);

    // A search never drops an edit: it waits until the edit is saved or cancelled.
    suchen->BtnEditClick();
    suchen->DBEditTitel->setText("behalten");
    Search("Brot");
    EXPECT_EQ(liste().State(), TDataSetState::Edit);
    EXPECT_EQ(suchen->DBEditTitel->text(), "behalten");
    EXPECT_TRUE(suchen->StatusText().startsWith("Die Suche folgt")) << suchen->StatusText().toStdString();
    suchen->BtnCancelClick();
    QTest::qWait(50);
    EXPECT_EQ(ListedTitles(), QStringList{"Einkaufsliste"});
    EXPECT_EQ(suchen->StatusText(), "1 Notiz gefunden");

    suchen->BtnEditClick();
    suchen->DBEditTitel->setText("verworfen");
    suchen->BtnAlleNotizenClick();
    dm->SharedTransaction.Commit();
    EXPECT_TRUE(Committed("where titel = 'verworfen'").empty());
    EXPECT_TRUE(dialogs.empty());
}

TEST_F(SuchenTest, EditingAnEmptyListInserts) {
    suchen->show();
    Search("nichts davon");
    suchen->BtnEditClick();
    EXPECT_EQ(liste().State(), TDataSetState::Insert);
    EXPECT_FALSE(suchen->DBEditTitel->isReadOnly());
    EXPECT_EQ(suchen->Model()->MarkerAt(liste().RecNo()), TNotizListeModel::TMarker::Insert);
    suchen->DBEditTitel->setText("neu");
    suchen->BtnSaveClick(); // inserting: nothing
    EXPECT_EQ(liste().State(), TDataSetState::Insert);
    suchen->BtnCancelClick();
    EXPECT_EQ(liste().State(), TDataSetState::Browse);
    EXPECT_TRUE(liste().IsEmpty());

    suchen->BtnEditClick();
    suchen->close(); // inserting: no question
    EXPECT_TRUE(dialogs.empty());
    EXPECT_FALSE(suchen->isVisible());
    EXPECT_FALSE(liste().Active());
    EXPECT_EQ(Committed().size(), 6u);
}

TEST_F(SuchenTest, ClosingWhileEditingAsks) {
    suchen->show();
    suchen->BtnEditClick();
    suchen->DBEditTitel->setText("offen");
    answer = TModalResult::No;
    suchen->close();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].type, TMsgDlgType::Custom);
    EXPECT_EQ(dialogs[0].text,
              "Die Änderung wurde noch nicht gespeichert.\nFenster ohne zu speichern schließen?");
    EXPECT_TRUE(suchen->isVisible());
    EXPECT_EQ(liste().State(), TDataSetState::Edit);
    EXPECT_EQ(suchen->DBEditTitel->text(), "offen");

    answer = TModalResult::Yes;
    suchen->close();
    EXPECT_FALSE(suchen->isVisible());
    EXPECT_FALSE(liste().Active());
    EXPECT_TRUE(dm->SharedTransaction.InTransaction()); // closing does not commit
}

TEST_F(SuchenTest, NavigatorFollowsTheBeginAndEndMarks) {
    suchen->show();
    suchen->ListAllNotes();
    TDBNavigator* nav = suchen->DBNavigator;
    EXPECT_FALSE(nav->BtnFirst->isEnabled());
    EXPECT_FALSE(nav->BtnPrior->isEnabled());
    EXPECT_TRUE(nav->BtnNext->isEnabled());
    nav->BtnLast->click();
    EXPECT_EQ(liste().RecNo(), 5);
    EXPECT_FALSE(nav->BtnNext->isEnabled());
    EXPECT_FALSE(nav->BtnLast->isEnabled());
    EXPECT_TRUE(nav->BtnFirst->isEnabled());
    EXPECT_EQ(suchen->DBGridNotizen->currentIndex().row(), 5);
    nav->BtnPrior->click();
    EXPECT_EQ(liste().RecNo(), 4);
    EXPECT_TRUE(nav->BtnNext->isEnabled());
    EXPECT_EQ(suchen->DBEditTitel->text(), liste().Title(4));

    // Moving by the navigator while editing saves the change.
    suchen->BtnEditClick();
    suchen->DBEditTitel->setText("per Navigator");
    nav->BtnFirst->click();
    EXPECT_EQ(liste().RecNo(), 0);
    EXPECT_EQ(liste().Title(4), "per Navigator");

    Search("nichts davon");
    for (QToolButton* b : {nav->BtnFirst, nav->BtnPrior, nav->BtnNext, nav->BtnLast})
        EXPECT_FALSE(b->isEnabled());
}

TEST_F(SuchenTest, GridClickMovesAndTitleColumnFollowsTheGridWidth) {
    suchen->resize(716, 391);
    suchen->show();
    suchen->ListAllNotes();
    QTableView* grid = suchen->DBGridNotizen;
    grid->setCurrentIndex(suchen->Model()->index(3, 1));
    EXPECT_EQ(liste().RecNo(), 3);
    EXPECT_EQ(suchen->DBEditTitel->text(), liste().Title(3));

    suchen->Splitter1->setSizes({120, 600});
    QApplication::processEvents();
    EXPECT_EQ(grid->columnWidth(0), 20);
    EXPECT_EQ(grid->columnWidth(1), grid->width() - 24);
    EXPECT_EQ(suchen->EditSuchen->width(), suchen->PanelSuchen->width() - 20);
}

TEST_F(SuchenTest, MarkerIsDrawnInTheCurrentRowOnly) {
    suchen->resize(716, 391);
    suchen->show();
    suchen->ListAllNotes();
    suchen->GridRowChosen(1);
    QApplication::processEvents();
    QTableView* grid = suchen->DBGridNotizen;
    const QImage image = grid->viewport()->grab().toImage();
    auto darkPixels = [&](int row) {
        const QRect cell = grid->visualRect(suchen->Model()->index(row, 0));
        int dark = 0;
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x)
                dark += qGray(image.pixel(x * image.width() / grid->viewport()->width(),
                                          y * image.height() / grid->viewport()->height())) < 64;
        return dark;
    };
    EXPECT_GT(darkPixels(1), 5);
    EXPECT_EQ(darkPixels(0), 0);
    EXPECT_EQ(darkPixels(2), 0);
}

TEST_F(SuchenTest, LayoutAndHelpContext) {
    EXPECT_EQ(suchen->windowTitle(), "Notizenliste");
    EXPECT_EQ(suchen->property("helpContext").toInt(), 1003);
    EXPECT_EQ(suchen->StatusBar(), suchen->StatusBarListe);
    EXPECT_EQ(suchen->BtnDelete->toolTip(), "Notiz löschen");
    EXPECT_EQ(suchen->DBNavigator->BtnFirst->toolTip(), "First record");
    EXPECT_EQ(suchen->DBNavigator->height(), 25);
    EXPECT_EQ(suchen->PanelSuchen->height(), 61);
    EXPECT_EQ(suchen->EditSuchenButton->toolTip(), "Suche starten");
}

TEST_F(SuchenTest, ManyNotesAreFetchedAsTheGridScrolls) {
    dm->RunInSharedTransaction(
        dm->QueryNotizen,
        {"insert into tblnotizen (id, titel, bemerkung, zeitstempel)",
         "with recursive n as (select 0 as i from rdb$database union all select i + 1 from n where i < 399)",
         "select gen_id(GEN_TBLNOTIZEN_ID, 1), 'Notiz ' || lpad(i, 3, '0'), 'Text ' || i, 'NOW' from n"});
    suchen->show();
    EXPECT_LT(suchen->Model()->rowCount(), 406);
    EXPECT_TRUE(suchen->Model()->canFetchMore({}));
    suchen->DBNavigator->BtnLast->click();
    EXPECT_EQ(suchen->Model()->rowCount(), 406);
    EXPECT_EQ(suchen->DBGridNotizen->currentIndex().row(), 405);
}

TEST_F(SuchenTest, TheListKnowsEveryRowFollowsTypingAndTellsAndMarksWhatItFound) {
    AddNote("Geburtstag Oma Gertrud", "Kuchen backen\r\nfür Oma und Opa");
    dm->RunInSharedTransaction(
        dm->QueryNotizen,
        {"insert into tblnotizen (id, titel, bemerkung, zeitstempel)",
         "with recursive n as (select 0 as i from rdb$database union all select i + 1 from n where i < 999)",
         "select gen_id(GEN_TBLNOTIZEN_ID, 1), 'Notiz ' || lpad(i, 4, '0'), 'Text ' || i, 'NOW' from n"});
    suchen->resize(716, 391);
    suchen->show();
    QTest::qWait(100);
    // The count and a scroll bar over every row, before the rows are read.
    EXPECT_EQ(suchen->Model()->rowCount(), 1007);
    EXPECT_EQ(suchen->StatusText(), "1.007 Notizen");
    QScrollBar* bar = suchen->DBGridNotizen->verticalScrollBar();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_GT(bar->maximum(), 900);
    EXPECT_EQ(suchen->DBGridNotizen->horizontalScrollBar()->maximum(), 0) << "the title column fits";
    bar->setValue(bar->maximum());
    QTest::qWait(200);
    EXPECT_EQ(liste().Title(1006), "Notiz 0999") << "the end of the scroll bar shows the last notes";

    // Typing searches once it pauses; the words are marked, the first one scrolled into view.
    QTest::keyClicks(suchen->EditSuchen, "oma");
    EXPECT_EQ(suchen->Model()->rowCount(), 1007) << "not at every key";
    QTest::qWait(TfrmSuchen::kSearchPauseMs + 200);
    EXPECT_EQ(ListedTitles(), QStringList({"Geburtstag Oma Gertrud"}));
    EXPECT_EQ(suchen->StatusText(), "1 Notiz gefunden");
    const QList<QTextEdit::ExtraSelection> marks = suchen->DBMemo->extraSelections();
    ASSERT_EQ(marks.size(), 1);
    EXPECT_EQ(marks[0].cursor.selectedText(), "Oma");
    EXPECT_EQ(suchen->DBMemo->textCursor().position(), marks[0].cursor.selectionStart());

    QTest::keyClicks(suchen->EditSuchen, "x");
    QTest::qWait(TfrmSuchen::kSearchPauseMs + 200);
    EXPECT_EQ(suchen->StatusText(), "Keine Notiz gefunden");
    EXPECT_TRUE(suchen->DBMemo->extraSelections().isEmpty());
}
