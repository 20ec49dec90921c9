// Backup and restore from the administration window for a database on a server the test
// starts: the backup comes into the user's directory, the restore goes back to the server.
#include "admin/TfrmVerwaltung.h"
#include "common/FirebirdServer.h"
#include "common/TempDatabase.h"
#include "platform/Autostart.h"
#include "platform/fake/FakeAutostart.h"
#include "store/DatabaseBackup.h"
#include "store/TDataModuleNotizen.h"
#include "ui/ConnectionStatusBar.h"
#include "ui/DbWaitCursor.h"
#include "ui/MessageDialogs.h"

#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <deque>
#include <gtest/gtest.h>
#include <memory>

class ServerBackupWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (const QString why = TFirebirdServer::Unavailable(); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        server = std::make_unique<TFirebirdServer>();
        database = server->CreateDatabase("notizen");
        SetAutostart(&autostart);
        SetDialogAnswerer([this](const TDialogRequest& r) {
            dialogs.push_back(r);
            return r.buttons & mbYes ? TModalResult::Yes : TModalResult::OK;
        });
        dm = std::make_unique<TDataModuleNotizen>(home.path());
        dm->UseDatabase(database, TCredentials{});
        window = std::make_unique<TfrmVerwaltung>(*dm, [] {});
        QObject::connect(dm.get(), &TDataModuleNotizen::Connected, window->StatusBar(),
                         &TConnectionStatusBar::MarkConnected);
        ASSERT_TRUE(dm->DataModuleCreate()) << dm->LastConnectError().toStdString();
    }
    void TearDown() override {
        window.reset();
        dm.reset();
        SetDialogAnswerer({});
        SetAutostart(nullptr);
    }
    int Notes() {
        dm->QueryInternes.SetSQL({"select count(*) as n from tblnotizen"});
        dm->QueryInternes.Open();
        const int n = static_cast<int>(dm->QueryInternes.FieldAsInteger("N"));
        dm->QueryInternes.Close();
        return n;
    }

    std::unique_ptr<TFirebirdServer> server;
    QString database;
    QTemporaryDir home;
    TFakeAutostart autostart;
    std::vector<TDialogRequest> dialogs;
    std::unique_ptr<TDataModuleNotizen> dm;
    std::unique_ptr<TfrmVerwaltung> window;
};

TEST_F(ServerBackupWindow, BackupIntoTheUsersDirectoryAndRestoreOnTheServer) {
    dm->SaveNewNote("Im Backup", "ja");
    window->BtnBackup->click();
    ASSERT_EQ(dialogs.size(), 2u);
    const QString backup = home.path() + "/notizenbackup.gbk";
    EXPECT_EQ(dialogs[1].text, "Datenbankbackup NOTIZENBACKUP.GBK wurde erzeugt.\n" + backup);
    EXPECT_GT(QFileInfo(backup).size(), 0);
    // Written by this program, for this account only.
    const QFileDevice::Permissions others =
        QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther;
    EXPECT_EQ(QFileInfo(backup).permissions() & others, 0);
    EXPECT_EQ(window->StatusBar()->Text(), "Datenbankverbindung wurde wieder geöffnet. Backup beendet.");
    EXPECT_TRUE(dm->Database.Connected());

    dm->SaveNewNote("Nach dem Backup", "nein");
    ASSERT_EQ(Notes(), 2);
    dialogs.clear();
    window->StatusBar()->SetImage(-1, "");
    window->BtnRestore->click();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].text, "Datenbank wurde aus Backup NOTIZENBACKUP.GBK wieder hergestellt.\n" + backup);
    EXPECT_EQ(window->StatusBar()->ImageIndex(), 6);
    EXPECT_EQ(window->StatusBar()->ImageHint(), "verbunden mit " + database);
    EXPECT_EQ(Notes(), 1);
    EXPECT_FALSE(TDbWaitCursor::Active());
}

TEST_F(ServerBackupWindow, AServerThatIsGoneIsReportedAndTheDatabaseStaysClosed) {
    server->Kill();
    window->BtnBackup->click();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].type, TMsgDlgType::Error);
    EXPECT_TRUE(dialogs[1].text.contains("nimmt keine Verbindung an")) << dialogs[1].text.toStdString();
    EXPECT_TRUE(dialogs[1].details.contains("Failed to establish a connection"))
        << dialogs[1].details.toStdString();
    EXPECT_EQ(window->StatusBar()->Text(), "Datenbankverbindung ist geschlossen. Backup fehlgeschlagen.");
    EXPECT_FALSE(QFileInfo::exists(home.path() + "/notizenbackup.gbk"));
    EXPECT_FALSE(TDbWaitCursor::Active());

    server->Start();
    dialogs.clear();
    window->BtnBackup->click();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].text, "Datenbankbackup NOTIZENBACKUP.GBK wurde erzeugt.\n" + window->BackupFile());
}

// A configured local file (ZETTELWERK_DATABASE=/path) is the one backed up, not the file of
// the program directory.
TEST(ConfiguredFileBackupWindow, BacksUpTheConfiguredFile) {
    TTempDatabase configured;
    QTemporaryDir programDirectory;
    TFakeAutostart autostart;
    SetAutostart(&autostart);
    std::vector<TDialogRequest> dialogs;
    SetDialogAnswerer([&](const TDialogRequest& r) {
        dialogs.push_back(r);
        return r.buttons & mbYes ? TModalResult::Yes : TModalResult::OK;
    });
    {
        TDataModuleNotizen dm(programDirectory.path());
        dm.UseDatabase(configured.File(), TCredentials{});
        TfrmVerwaltung window(dm, [] {});
        ASSERT_TRUE(dm.DataModuleCreate()) << dm.LastConnectError().toStdString();
        EXPECT_FALSE(dm.IsServer());
        dm.SaveNewNote("Woanders", "liegt nicht im Programmverzeichnis");
        window.BtnBackup->click();
        ASSERT_EQ(dialogs.size(), 2u);
        EXPECT_TRUE(dialogs[1].text.startsWith("Datenbankbackup NOTIZENBACKUP.GBK wurde erzeugt.\n"))
            << dialogs[1].text.toStdString();
        dm.RunInSharedTransaction(dm.QueryNotizen, {"delete from tblnotizen"});
        dialogs.clear();
        window.BtnRestore->click();
        ASSERT_EQ(dialogs.size(), 2u);
        EXPECT_TRUE(
            dialogs[1].text.startsWith("Datenbank wurde aus Backup NOTIZENBACKUP.GBK wieder hergestellt.\n"))
            << dialogs[1].text.toStdString() << dialogs[1].details.toStdString();
        dm.QueryInternes.SetSQL({"select titel from tblnotizen"});
        dm.QueryInternes.Open();
        EXPECT_EQ(dm.QueryInternes.FieldAsString("TITEL"), "Woanders");
        dm.QueryInternes.Close();
    }
    EXPECT_FALSE(QFileInfo::exists(programDirectory.path() + "/notizen.gdb"));
    SetDialogAnswerer({});
    SetAutostart(nullptr);
}
