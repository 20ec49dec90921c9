// The about window on a real database copy, and the texts it is made of.
#include "info/TfrmAboutBox.h"

#include "common/FirebirdServer.h"
#include "common/TempDatabase.h"
#include "info/AboutTexts.h"
#include "info/ByteSize.h"
#include "info/FileVersionText.h"
#include "platform/fake/FakeOsFacts.h"
#include "platform/fake/FakeShellOpen.h"
#include "store/TDataModuleNotizen.h"
#include "ui/MessageDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

namespace {

QString BinFile(const QString& name) {
    return QDir(qEnvironmentVariable("ZW_BIN_DIR")).filePath(name);
}

TEST(AboutTexts, ServerVersionFromFire) {
    EXPECT_EQ(ServerVersionFromFire("LI-V3.0.11.33703 Firebird 3.0"), "Firebird 3.0");
    EXPECT_EQ(ServerVersionFromFire("WI-V2.5.9.27139 Firebird 2.5/tcp (srv)/P12"),
              "Firebird 2.5/tcp (srv)/P12");
    EXPECT_EQ(ServerVersionFromFire("WI-V6.3.0.4870 InterBase"),
              "WI-V6.3.0.4870 InterBase");                                    // no "Fire": whole
    EXPECT_EQ(ServerVersionFromFire("LI-V3.0 firebird"), "LI-V3.0 firebird"); // letter case counts
    EXPECT_EQ(ServerVersionFromFire(""), "");
    EXPECT_EQ(DbVersionText("LI-V3.0.11.33703 Firebird 3.0", "3.0.11.0"), "Firebird 3.0:  (3.0.11.0)");
    EXPECT_EQ(DbVersionText("X", "NoVersionInfo"), "X:  (NoVersionInfo)");
}

TEST(AboutTexts, OdsAndSize) {
    EXPECT_EQ(OdsText(12, 0), "ODS-Version: 12.0");
    EXPECT_EQ(OdsText(11, 2), "ODS-Version: 11.2");
    EXPECT_EQ(DbSizeText(200, 4096, u','), QString::fromUtf8("DB-Grösse: 800,00 KB"));
    EXPECT_EQ(DbSizeText(786432, 4096, u','), QString::fromUtf8("DB-Grösse: 3,00 GB")); // beyond 32 bits
    EXPECT_EQ(DbSizeText(0, 8192, u','), QString::fromUtf8("DB-Grösse: 0 Byte"));
    EXPECT_EQ(DbSizeText(std::numeric_limits<qint64>::max(), 16384, u','), QString::fromUtf8("DB-Grösse: "));
    EXPECT_EQ(DbSizeText(-1, 4096, u','), QString::fromUtf8("DB-Grösse: "));
}

TEST(FileVersionText, VersionNumbers) {
    EXPECT_EQ(FourPartVersion("3.0.11"), "3.0.11.0");
    EXPECT_EQ(FourPartVersion("4"), "4.0.0.0");
    EXPECT_EQ(FourPartVersion("1.2.3.4.5"), "1.2.3.4");
    EXPECT_EQ(FourPartVersion("1.x"), "");
    EXPECT_EQ(FourPartVersion("70000.1"), "");
    EXPECT_EQ(FourPartVersion(""), "");
    EXPECT_EQ(VersionFromLibraryFileName("/usr/lib/x86_64-linux-gnu/libfbclient.so.3.0.11"), "3.0.11.0");
    EXPECT_EQ(VersionFromLibraryFileName("libfbclient.so.2"), "2.0.0.0");
    EXPECT_EQ(VersionFromLibraryFileName("libfbclient.so"), "");
    EXPECT_EQ(VersionFromLibraryFileName("gds32.dll"), "");
}

TEST(FileVersionText, FilesWithAndWithoutVersion) {
    EXPECT_EQ(GetFileVersionText("gds32.dll"), "NoVersionInfo");
    EXPECT_EQ(GetFileVersionText("/nirgends/libfoo.so.1.2"), "NoVersionInfo");
    QTemporaryDir dir;
    QFile plain(dir.filePath("notes.txt"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write("no version here");
    plain.close();
    EXPECT_EQ(GetFileVersionText(plain.fileName()), "NoVersionInfo");

    // The client library found by bare name: the version its real file name carries.
    const QString path = FindLibraryFile("libfbclient.so.2");
    ASSERT_FALSE(path.isEmpty());
    const QString expected = VersionFromLibraryFileName(QFileInfo(path).canonicalFilePath());
    EXPECT_TRUE(QRegularExpression("^\\d+\\.\\d+\\.\\d+\\.\\d+$").match(expected).hasMatch())
        << expected.toStdString();
    EXPECT_EQ(GetFileVersionText("libfbclient.so.2"), expected);

    if (QFileInfo::exists(BinFile("zettelwerk"))) {
        EXPECT_EQ(GetFileVersionText(BinFile("zettelwerk")), "1.0.0.0");
    }
}

class AboutBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetOsFacts(&os);
        dm = std::make_unique<TDataModuleNotizen>(db.Directory());
        ASSERT_TRUE(dm->DataModuleCreate()) << dm->LastConnectError().toStdString();
        SetDialogAnswerer([this](const TDialogRequest& r) {
            dialogs.push_back(r);
            return TModalResult::OK;
        });
        about = std::make_unique<TfrmAboutBox>(dm.get(), nullptr, BinFile("zettelwerk"));
    }
    void TearDown() override {
        about.reset();
        SetDialogAnswerer({});
        dm.reset();
        SetOsFacts(nullptr);
    }
    static void Click(QWidget* w, bool twice = false) {
        const QPointF at(2, 2);
        QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(w, &press);
        QApplication::sendEvent(w, &release);
        if (twice) {
            QMouseEvent dbl(QEvent::MouseButtonDblClick, at, w->mapToGlobal(at), Qt::LeftButton,
                            Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(w, &dbl);
            QApplication::sendEvent(w, &release);
        }
    }

    TFakeOsFacts os;
    TTempDatabase db;
    std::unique_ptr<TDataModuleNotizen> dm;
    std::unique_ptr<TfrmAboutBox> about;
    std::vector<TDialogRequest> dialogs;
};

TEST_F(AboutBoxTest, Layout) {
    EXPECT_EQ(about->size(), QSize(440, 407));
    EXPECT_EQ(about->property("helpContext").toInt(), 1004);
    EXPECT_EQ(about->windowTitle(), "About");
    EXPECT_EQ(about->Panel->geometry(), QRect(8, 8, 425, 361));
    EXPECT_EQ(about->ProgramIcon->geometry(), QRect(8, 8, 32, 32));
    EXPECT_EQ(about->ProductName->pos(), QPoint(48, 8));
    EXPECT_EQ(about->LabelVersion->pos(), QPoint(48, 32));
    EXPECT_EQ(about->LabelCopyright->pos(), QPoint(48, 48));
    EXPECT_EQ(about->GroupBoxBetriebssystem->geometry(), QRect(8, 72, 409, 49));
    EXPECT_EQ(about->GroupBoxBetriebssystem->title(), "Betriebssystem");
    EXPECT_EQ(about->GroupBoxDatenbank->geometry(), QRect(8, 128, 409, 105));
    EXPECT_EQ(about->GroupBoxDatenbank->title(), "Datenbank");
    EXPECT_EQ(about->LabelDBVersion->pos(), QPoint(16, 28));
    EXPECT_EQ(about->LabelDBVersion->toolTip(), "Firebird im Internet");
    EXPECT_TRUE(about->LabelDBVersion->font().underline());
    EXPECT_EQ(about->LabelDBVersion->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    EXPECT_EQ(about->LabelDBVersion->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(about->LabelODS->toolTip().startsWith("On-Disk-Structure (ODS) definiert"));
    EXPECT_EQ(about->GroupBoxMail->geometry(), QRect(20, 264, 285, 41));
    EXPECT_EQ(about->GroupBoxMail->title(), QString::fromUtf8("Bugs und Verbesserungsvorschläge:"));
    EXPECT_EQ(about->LabelMail->text(), TfrmAboutBox::kMailAddress);
    EXPECT_EQ(about->LabelMail->toolTip(), "email schreiben");
    EXPECT_EQ(about->Image1->geometry(), QRect(328, 251, 92, 105));
    EXPECT_EQ(about->Image1->toolTip(), "email schreiben");
    EXPECT_EQ(about->ImageFirebird->geometry(), QRect(184, 316, 120, 40));
    EXPECT_EQ(about->ImageFirebird->toolTip(), "Firebird im Internet");
    EXPECT_EQ(about->OKButton->geometry(), QRect(175, 380, 75, 25));
    EXPECT_TRUE(about->OKButton->isDefault());
    EXPECT_FALSE(about->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(about->windowFlags() & Qt::WindowMinMaxButtonsHint);
}

TEST_F(AboutBoxTest, ShowingFillsVersionSystemAndDatabaseTexts) {
    if (!QFileInfo::exists(BinFile("zettelwerk")))
        GTEST_SKIP() << "the program is not built";
    about->show();
    EXPECT_EQ(about->windowTitle(), "Zettelwerk 1.0.0.0");
    EXPECT_EQ(about->ProductName->text(), "Zettelwerk (Verwaltung von Notizen)");
    EXPECT_EQ(about->LabelVersion->text(), "Produktversion: 1.0 (1.0.0.0)");
    EXPECT_EQ(about->LabelOS->text(), "Debian GNU/Linux 12 (bookworm)  Linux 6.1.0-test-amd64");

    const TDatabaseInfo info = dm->DatabaseInfo();
    EXPECT_TRUE(about->LabelDBVersion->text().startsWith("Firebird "))
        << about->LabelDBVersion->text().toStdString();
    EXPECT_TRUE(
        about->LabelDBVersion->text().endsWith(":  (" + TfrmAboutBox::ClientLibraryVersionText() + ")"));
    EXPECT_EQ(about->LabelODS->text(), "ODS-Version: 12.0");
    EXPECT_EQ(about->LabelDBGroesse->text(), DbSizeText(info.allocation, info.pageSize));
    // The delivered database: its allocated pages are the file.
    EXPECT_EQ(about->LabelDBGroesse->text(),
              QString::fromUtf8("DB-Grösse: ") + FormatByteSize(QFileInfo(db.File()).size()));
    EXPECT_TRUE(dialogs.empty());
}

TEST_F(AboutBoxTest, EveryShowingAsksTheDatabaseAgain) {
    about->show();
    const QString version = about->LabelVersion->text();
    const QString ods = about->LabelODS->text();
    about->OKButton->click();
    EXPECT_FALSE(about->isVisible());

    // While the connection is closed the request fails: the error is shown, the texts stay.
    dm->Database.Close();
    about->show();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].type, TMsgDlgType::Error);
    EXPECT_EQ(about->LabelODS->text(), ods);
    EXPECT_EQ(about->LabelVersion->text(), version);
    about->hide();

    dm->Database.Open();
    about->LabelODS->setText("-");
    about->show();
    EXPECT_EQ(about->LabelODS->text(), ods);
    EXPECT_EQ(dialogs.size(), 1u);
}

TEST_F(AboutBoxTest, LinksOpenMailAndWebPage) {
    TFakeShellOpen shell;
    about->show();
    Click(about->Image1);
    Click(about->ImageFirebird);
    EXPECT_EQ(shell.opened,
              (QStringList{"mailto:" + TfrmAboutBox::kMailAddress, TfrmAboutBox::kFirebirdAddress}));
    shell.opened.clear();
    Click(about->LabelMail, true); // click and double click both answer
    EXPECT_EQ(shell.opened.size(), 2);
    shell.opened.clear();
    Click(about->LabelDBVersion);
    EXPECT_EQ(shell.opened, QStringList{TfrmAboutBox::kFirebirdAddress});
    shell.answer = false; // a failing open is not reported
    Click(about->ImageFirebird);
    EXPECT_TRUE(dialogs.empty());
}

} // namespace

// The database on a server the test starts: the server's version, ODS and size; after the
// server was gone and is back, the next showing connects again.
TEST(AboutBoxOnServer, ShowsTheServersDatabaseAndConnectsAgainAfterAnOutage) {
    if (const QString why = TFirebirdServer::Unavailable(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    TFirebirdServer server;
    const QString database = server.CreateDatabase("notizen");
    TFakeOsFacts os;
    SetOsFacts(&os);
    std::vector<TDialogRequest> dialogs;
    SetDialogAnswerer([&](const TDialogRequest& r) {
        dialogs.push_back(r);
        return TModalResult::OK;
    });
    QTemporaryDir home;
    TDataModuleNotizen dm(home.path());
    dm.UseDatabase(database, TCredentials{});
    ASSERT_TRUE(dm.DataModuleCreate()) << dm.LastConnectError().toStdString();
    {
        TfrmAboutBox about(&dm, nullptr, BinFile("zettelwerk"));
        about.show();
        EXPECT_TRUE(about.LabelDBVersion->text().startsWith("Firebird 3.0"))
            << about.LabelDBVersion->text().toStdString();
        EXPECT_EQ(about.LabelODS->text(), "ODS-Version: 12.0");
        const TDatabaseInfo info = dm.DatabaseInfo();
        EXPECT_EQ(about.LabelDBGroesse->text(), DbSizeText(info.allocation, info.pageSize));
        EXPECT_EQ(about.LabelDBGroesse->text(),
                  QString::fromUtf8("DB-Grösse: ") +
                      FormatByteSize(QFileInfo(server.DataDirectory() + "/notizen.gdb").size()));
        about.hide();

        server.Kill();
        about.show();
        ASSERT_EQ(dialogs.size(), 1u);
        EXPECT_EQ(dialogs[0].type, TMsgDlgType::Error);
        EXPECT_FALSE(dialogs[0].details.isEmpty()) << "the client library's text";
        about.hide();
        server.Start();
        about.show();
        EXPECT_EQ(dialogs.size(), 1u) << (dialogs.size() > 1 ? dialogs[1].text.toStdString() : "");
        EXPECT_EQ(about.LabelODS->text(), "ODS-Version: 12.0");
    }
    SetDialogAnswerer({});
    SetOsFacts(nullptr);
}
