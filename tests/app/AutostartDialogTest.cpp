// The first-start question on a real database copy, with the in-memory autostart list.
#include "admin/TfrmVerwaltung.h"
#include "app/FirstStartRecord.h"
#include "app/TfrmAutostartDialog.h"
#include "common/TempDatabase.h"
#include "platform/Autostart.h"
#include "platform/fake/FakeAutostart.h"
#include "store/TDataModuleNotizen.h"
#include "store/TSettings.h"
#include "ui/MessageDialogs.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

class AutostartDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetAutostart(&autostart);
        SetHelpRequestHandler([this](int c) { help.push_back(c); });
        SetDialogAnswerer([this](const TDialogRequest& r) {
            dialogs.push_back(r);
            return TModalResult::OK;
        });
        dm = std::make_unique<TDataModuleNotizen>(db.Directory());
        verwaltung = std::make_unique<TfrmVerwaltung>(*dm, std::function<void()>{});
        ASSERT_TRUE(dm->DataModuleCreate());
        question = std::make_unique<TfrmAutostartDialog>(*dm, *verwaltung);
    }
    void TearDown() override {
        question.reset();
        verwaltung.reset();
        dm.reset();
        SetDialogAnswerer({});
        SetHelpRequestHandler({});
        SetAutostart(nullptr);
    }

    // Runs the check; while the question is open, act runs once (it must close it, or the
    // question is closed afterwards). Returns whether the question was shown.
    bool RunCheck(const std::function<void()>& act) {
        bool shown = false;
        QTimer::singleShot(0, question.get(), [&] {
            shown = question->isVisible();
            if (shown) {
                act();
                if (question->isVisible())
                    question->reject();
            }
        });
        question->CheckFirstStart();
        QCoreApplication::processEvents(); // the timer when no question ran a loop
        return shown;
    }

    qint64 Rows() {
        const qint64 n = CountSettingsRows(*dm);
        dm->SharedTransaction.Commit();
        return n;
    }

    TTempDatabase db;
    TFakeAutostart autostart;
    std::unique_ptr<TfrmVerwaltung> verwaltung;
    std::unique_ptr<TDataModuleNotizen> dm;
    std::unique_ptr<TfrmAutostartDialog> question;
    std::vector<int> help;
    std::vector<TDialogRequest> dialogs;
};

TEST_F(AutostartDialogTest, Layout) {
    EXPECT_EQ(question->windowTitle(), "Autostart einrichten?");
    EXPECT_EQ(question->property("helpContext").toInt(), 1005);
    EXPECT_EQ(question->RichLabel1->textFormat(), Qt::RichText);
    const QString text = question->RichLabel1->text();
    EXPECT_TRUE(text.contains("Soll für Zettelwerk ein <b>Autostart </b>eingerichtet werden?<br><br>"));
    EXPECT_TRUE(text.contains("In dem Fall wird Zettelwerk bei jeder Anmeldung <b>automatisch</b> "
                              "gestartet.&nbsp;&nbsp;<br>"));
    EXPECT_TRUE(text.contains("<b>(Kontextmenü: Verwaltung)</b><br>jederzeit nachträglich geändert werden."));
    EXPECT_EQ(question->BtnJa->text(), "Ja");
    EXPECT_EQ(question->BtnNein->text(), "Nein");
    EXPECT_EQ(question->BtnHilfe->text(), "Hilfe");
    // Tab order: Hilfe, Ja, Nein.
    auto nextTab = [](QWidget* w) {
        do
            w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus));
        return w;
    };
    EXPECT_EQ(nextTab(question->BtnHilfe), question->BtnJa);
    EXPECT_EQ(nextTab(question->BtnJa), question->BtnNein);
    EXPECT_EQ(nextTab(question->BtnNein), question->BtnHilfe);
}

TEST_F(AutostartDialogTest, JaEntersTheProgramAndTheQuestionNeverReturns) {
    QWidget* focused = nullptr;
    EXPECT_TRUE(RunCheck([&] {
        focused = question->focusWidget();
        question->BtnJa->click();
    }));
    EXPECT_EQ(focused, question->BtnHilfe);
    EXPECT_FALSE(question->isVisible());
    EXPECT_EQ(autostart.entries.value("Zettelwerk"), QCoreApplication::applicationFilePath());
    EXPECT_EQ(autostart.writes, 1);
    EXPECT_EQ(Rows(), 1);
    EXPECT_FALSE(RunCheck([] {}));
}

TEST_F(AutostartDialogTest, NeinRemovesTheEntry) {
    autostart.entries["Zettelwerk"] = "/old/zettelwerk";
    EXPECT_TRUE(RunCheck([&] { question->BtnNein->click(); }));
    EXPECT_FALSE(autostart.entries.contains("Zettelwerk"));
    EXPECT_EQ(Rows(), 1);
    EXPECT_FALSE(RunCheck([] {}));
}

TEST_F(AutostartDialogTest, ClosingRecordsNothingAndAsksAgain) {
    autostart.entries["Zettelwerk"] = "/old/zettelwerk";
    EXPECT_TRUE(RunCheck([&] { question->close(); }));
    EXPECT_EQ(autostart.Accesses(), 0);
    EXPECT_EQ(Rows(), 0);
    EXPECT_TRUE(RunCheck([] {}));
}

TEST_F(AutostartDialogTest, HilfeLeavesTheQuestionOpen) {
    bool openAfterHelp = false;
    EXPECT_TRUE(RunCheck([&] {
        question->BtnHilfe->click();
        openAfterHelp = question->isVisible();
        question->BtnJa->click();
    }));
    EXPECT_EQ(help, std::vector<int>{1005});
    EXPECT_TRUE(openAfterHelp);
    EXPECT_EQ(Rows(), 1);
}

TEST_F(AutostartDialogTest, ARowFromTheUpdateCheckCountsAsAsked) {
    RecordUpdateCheckDate(*dm);
    EXPECT_FALSE(RunCheck([] {}));
    EXPECT_EQ(autostart.Accesses(), 0);
}

TEST_F(AutostartDialogTest, FailedMarkKeepsTheQuestionOpen) {
    bool stillOpen = false;
    EXPECT_TRUE(RunCheck([&] {
        // The database cannot be reached when the answer is to be recorded.
        dm->Database.Close();
        ASSERT_TRUE(QFile::rename(db.File(), db.File() + ".weg"));
        question->BtnJa->click();
        stillOpen = question->isVisible();
        ASSERT_TRUE(QFile::rename(db.File() + ".weg", db.File()));
    }));
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(autostart.writes, 1); // the autostart operation had already run
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].type, TMsgDlgType::Error);
    EXPECT_EQ(Rows(), 0);
}

TEST_F(AutostartDialogTest, CountingErrorShowsNoQuestion) {
    dm->RunInSharedTransaction(dm->QueryNotizen, {"drop table tblinterna"});
    EXPECT_FALSE(RunCheck([] {}));
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].type, TMsgDlgType::Error);
}

// A database on a server: its settings row is shared by every machine, the autostart is not.
class AutostartOnSharedDatabaseTest : public AutostartDialogTest {
protected:
    void SetUp() override {
        AutostartDialogTest::SetUp();
        ASSERT_TRUE(home.isValid());
        record = std::make_unique<TFirstStartRecord>(home.path(),
                                                     QStringLiteral("notizserver:/daten/notizen.gdb"));
        question = std::make_unique<TfrmAutostartDialog>(*dm, *verwaltung, record.get());
    }
    void TearDown() override {
        question.reset();
        AutostartDialogTest::TearDown();
    }
    QTemporaryDir home;
    std::unique_ptr<TFirstStartRecord> record;
};

TEST_F(AutostartOnSharedDatabaseTest, AMachineAfterTheFirstIsAskedOnceAndAddsNoSecondRow) {
    MarkFirstStartDone(*dm); // answered on another machine
    dm->SharedTransaction.Commit();
    EXPECT_TRUE(RunCheck([&] { question->BtnJa->click(); }));
    EXPECT_EQ(Rows(), 1);
    EXPECT_EQ(autostart.writes, 1);
    EXPECT_TRUE(record->Answered());
    EXPECT_FALSE(RunCheck([] {})) << "asked again on the same machine";
    // Another connection text is another database: its answer is not this one's.
    EXPECT_FALSE(TFirstStartRecord(home.path(), QStringLiteral("notizserver:/daten/andere.gdb")).Answered());
}

TEST_F(AutostartOnSharedDatabaseTest, TheFirstMachineRecordsBoth) {
    EXPECT_TRUE(RunCheck([&] { question->BtnNein->click(); }));
    EXPECT_EQ(Rows(), 1);
    EXPECT_TRUE(record->Answered());
}

TEST_F(AutostartOnSharedDatabaseTest, ARecordThatCannotBeWrittenIsReportedAndTheAnswerStands) {
    record =
        std::make_unique<TFirstStartRecord>(home.filePath("fehlt/nicht/da"), QStringLiteral("srv:/n.gdb"));
    question = std::make_unique<TfrmAutostartDialog>(*dm, *verwaltung, record.get());
    bool closed = false;
    EXPECT_TRUE(RunCheck([&] {
        question->BtnNein->click();
        closed = !question->isVisible();
    }));
    EXPECT_TRUE(closed);
    EXPECT_EQ(Rows(), 1);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].type, TMsgDlgType::Error);
    EXPECT_TRUE(dialogs[0].text.contains(record->Path())) << dialogs[0].text.toStdString();
}
