// The list model keeps Qt's model contract, and errors of the windows' slots end at their
// connection.
#include "NotesFixture.h"
#include "notes/TNotizListeModel.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

// The model alone over a list result set, as any view or proxy would see it.
class ModelContractTest : public ::testing::Test {
protected:
    void SetUp() override {
        dm = std::make_unique<TDataModuleNotizen>(db.Directory());
        ASSERT_TRUE(dm->DataModuleCreate()) << dm->LastConnectError().toStdString();
        model = std::make_unique<TNotizListeModel>(dm->DataSetNotizliste);
    }
    QStringList ModelTitles() const {
        const TNotizListeModel& m = *model;
        QStringList titles;
        for (int row = 0; row < m.rowCount(); ++row)
            titles << m.data(m.index(row, TNotizListeModel::kTitleColumn)).toString();
        return titles;
    }
    // Every announcement of a change finds the rows as they were before it, and every report
    // of one finds the number of rows it announced.
    void WatchAnnouncements() {
        TNotizListeModel* m = model.get();
        const auto check = [this](const char* what) {
            ++announcements;
            EXPECT_EQ(ModelTitles(), before) << what;
        };
        QObject::connect(m, &QAbstractItemModel::rowsAboutToBeInserted, m,
                         [this, m, check](const QModelIndex&, int first, int last) {
                             check("insert");
                             expectedRows = m->rowCount() + (last - first + 1);
                         });
        QObject::connect(m, &QAbstractItemModel::rowsAboutToBeRemoved, m,
                         [this, m, check](const QModelIndex&, int first, int last) {
                             check("remove");
                             expectedRows = m->rowCount() - (last - first + 1);
                         });
        const auto reported = [this, m] { EXPECT_EQ(m->rowCount(), expectedRows); };
        QObject::connect(m, &QAbstractItemModel::rowsInserted, m, reported);
        QObject::connect(m, &QAbstractItemModel::rowsRemoved, m, reported);
        QObject::connect(m, &QAbstractItemModel::modelAboutToBeReset, m, [check] { check("reset"); });
    }
    TTempDatabase db;
    std::unique_ptr<TDataModuleNotizen> dm;
    std::unique_ptr<TNotizListeModel> model;
    QStringList before;
    int announcements = 0;
    int expectedRows = 0;
};

} // namespace

TEST_F(ModelContractTest, ReadersDuringAChangeSeeTheRowsAsTheyWere) {
    dm->RunInSharedTransaction(
        dm->QueryNotizen,
        {"insert into tblnotizen (id, titel, bemerkung, zeitstempel)",
         "with recursive n as (select 0 as i from rdb$database union all select i + 1 from n where i < 299)",
         "select gen_id(GEN_TBLNOTIZEN_ID, 1), 'Notiz ' || lpad(i, 3, '0'), 'Text ' || i, 'NOW' from n"});
    WatchAnnouncements();
    TNotizListe& liste = dm->DataSetNotizliste;

    before = ModelTitles();
    dm->ListNotesByTitle(); // reset
    before = ModelTitles();
    ASSERT_LT(before.size(), 300);
    model->fetchMore({}); // rows appended at the end
    before = ModelTitles();
    liste.MoveTo(5);
    liste.Insert(); // a row before the current one
    EXPECT_EQ(ModelTitles().at(5), "");
    EXPECT_EQ(ModelTitles().at(6), "Notiz 005");
    before = ModelTitles();
    liste.Cancel(); // the new row goes again
    EXPECT_EQ(ModelTitles().at(5), "Notiz 005");
    before = ModelTitles();
    liste.Last(); // fetches the rest
    EXPECT_EQ(ModelTitles().size(), 300);
    before = ModelTitles();
    liste.Close(); // reset
    EXPECT_TRUE(ModelTitles().isEmpty());
    EXPECT_GE(announcements, 6);
}

TEST_F(NotesFixture, TheFieldsFollowTheCurrentRow) {
    AddNote("Erste", "eins\r\nzwei");
    AddNote("Zweite", "drei");
    suchen->show();
    suchen->ListAllNotes();
    EXPECT_EQ(suchen->DBEditTitel->text(), "Erste");
    EXPECT_EQ(suchen->DBMemo->toPlainText(), "eins\nzwei");
    suchen->GridRowChosen(1);
    EXPECT_EQ(suchen->DBEditTitel->text(), "Zweite");
    EXPECT_EQ(suchen->DBMemo->toPlainText(), "drei");
    // A no-break space typed into the text survives the save.
    suchen->BtnEditClick();
    suchen->DBMemo->setPlainText(QString("vier") + QChar(0x00A0) + "fünf");
    suchen->BtnSaveClick();
    EXPECT_EQ(Committed("where titel = 'Zweite'").at(0).text, QString("vier") + QChar(0x00A0) + "fünf");
    dm->DataSetNotizliste.Close();
    EXPECT_TRUE(suchen->DBEditTitel->text().isEmpty());
    EXPECT_TRUE(suchen->DBMemo->toPlainText().isEmpty());
    EXPECT_TRUE(suchen->DBTextZeitstempel->text().isEmpty());
}

TEST_F(NotesFixture, AnErrorInASlotIsShownAtItsConnection) {
    // Deleting while the list is closed cannot read the title: the error is shown by the
    // window's own connection and does not leave the signal.
    EXPECT_NO_THROW(suchen->BtnDelete->trigger());
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].type, TMsgDlgType::Error);
    EXPECT_EQ(dialogs[0].text, "DataSetNotizliste: Field 'TITEL' not found.");

    // A save that the database refuses: shown, and the typed note stays in the window.
    dialogs.clear();
    dm->RunInSharedTransaction(dm->QueryNotizen, {"drop table tblnotizen"});
    anlegen->show();
    anlegen->EditTitel->setText("bleibt");
    EXPECT_NO_THROW(anlegen->BtnSave->trigger());
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].type, TMsgDlgType::Error);
    EXPECT_TRUE(anlegen->isVisible());
    EXPECT_EQ(anlegen->EditTitel->text(), "bleibt");
}
