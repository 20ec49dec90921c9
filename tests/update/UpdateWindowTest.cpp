// The update window over a fresh database: layout, settings on show and close, status texts,
// the two message boxes and the animated download cursor, with the engine on a loopback server.
#include "EngineTestSupport.h"
#include "MinisignTestSupport.h"
#include "common/TempDatabase.h"
#include "platform/AniCursor.h"
#include "store/FieldText.h"
#include "store/TDataModuleNotizen.h"
#include "store/TSettings.h"
#include "update/DownloadCursorData.h"
#include "update/SzddEncoder.h"
#include "update/TfrmUpdate.h"
#include "update/UpdateAvailability.h"
#include "update/UpdateKey.h"
#include "update/UpdateMessages.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QDate>
#include <QDirIterator>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStatusBar>
#include <memory>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kNoNewVersion =
    QString::fromUtf8("Keine neue Version von Zettelwerk verfügbar\nDies ist die aktuelle Version.");
const QString kNotFound =
    "Datei ZETTELWERK.INF auf Updateserver nicht gefunden -> WUPDATE.LOG\nInternetzugang freigeschaltet?";

class UpdateWindowFixture : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        SetDialogAnswerer([this](const TDialogRequest& r) {
            dialogs.push_back(r);
            return (r.buttons & mbYes) ? TModalResult::Yes : TModalResult::OK;
        });
        dm = std::make_unique<TDataModuleNotizen>(db.Directory());
        ASSERT_TRUE(dm->DataModuleCreate());
        window = std::make_unique<TfrmUpdate>(*dm);
        window->UpdateEngine->URL = engine.URL;
        window->UpdateEngine->RequireSignature = false;
        window->ProgramDirectory = work.path();
    }
    void TearDown() override {
        window.reset();
        dm.reset();
        SetDialogAnswerer({});
        EngineFixture::TearDown();
    }
    void Click() { window->BitBtnUpdate->click(); }
    int Boxes(const QString& caption, const QString& text) const {
        return int(std::count_if(dialogs.begin(), dialogs.end(), [&](const TDialogRequest& r) {
            return r.caption == caption && r.text == text;
        }));
    }

    TTempDatabase db;
    std::unique_ptr<TDataModuleNotizen> dm;
    std::unique_ptr<TfrmUpdate> window;
    std::vector<TDialogRequest> dialogs;
};

} // namespace

TEST(UpdateWindowRules, StatusTextFormat) {
    EXPECT_EQ(TfrmUpdate::StatusText("Update control file found", 3, 0),
              "Update control file found, Status: 3 Error: 0");
    EXPECT_EQ(TfrmUpdate::StatusText("", 0, 404), ", Status: 0 Error: 404");
}

TEST(UpdateWindowRules, DownloadCursorHasEightFramesOf32Pixels) {
    const auto ani = ReadAniCursor(DownloadCursorData());
    ASSERT_TRUE(ani.has_value());
    ASSERT_EQ(ani->frames.size(), 8);
    EXPECT_EQ(ani->steps, (QList<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(ani->rates, QList<int>(8, 20));
    QSet<QRgb> colours;
    for (const TAniFrame& f : ani->frames) {
        EXPECT_EQ(f.image.size(), QSize(32, 32));
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                colours.insert(f.image.pixel(x, y));
    }
    EXPECT_LE(colours.size(), 17) << "16 colours and transparency";
    EXPECT_NE(ani->frames[0].image, ani->frames[7].image) << "the frames differ";
}

TEST(UpdateWindowRules, BrokenAniDataIsRefused) {
    QByteArray data = DownloadCursorData();
    EXPECT_FALSE(ReadAniCursor(data.left(200)).has_value());
    EXPECT_FALSE(ReadAniCursor("RIFF\x04\0\0\0ACON").has_value());
    data[8] = 'X';
    EXPECT_FALSE(ReadAniCursor(data).has_value());
}

TEST(UpdateWindowRules, HostileAniDataIsRefusedOrRead) {
    const QByteArray good = DownloadCursorData();
    QRandomGenerator rng(4711);
    for (int round = 0; round < 3000; ++round) {
        QByteArray data = good;
        const int changes = 1 + int(rng.bounded(8));
        for (int i = 0; i < changes; ++i)
            data[qsizetype(rng.bounded(quint32(data.size())))] = char(rng.bounded(256));
        if (rng.bounded(4) == 0)
            data.truncate(qsizetype(rng.bounded(quint32(data.size()))));
        const auto ani = ReadAniCursor(data);
        if (ani) {
            EXPECT_EQ(ani->steps.size(), ani->rates.size());
            for (int s : ani->steps)
                EXPECT_TRUE(s >= 0 && s < ani->frames.size());
        }
    }
    QByteArray manySteps = good;
    manySteps.replace(good.indexOf("anih") + 8 + 8, 4, QByteArray("\xff\xff\xff\x7f", 4));
    EXPECT_FALSE(ReadAniCursor(manySteps).has_value()) << "an absurd step count is refused at once";
}

TEST_F(UpdateWindowFixture, ProgressWithoutLengthStaysEmpty) {
    window->UpdateEngineFileProgress(nullptr, "a", 4096, 0);
    EXPECT_EQ(window->ProgressBarUpdate->value(), 0);
    EXPECT_LT(window->ProgressBarUpdate->minimum(), window->ProgressBarUpdate->maximum()) << "no busy bar";
    window->UpdateEngineFileProgress(nullptr, "a", 4096, 8192);
    EXPECT_EQ(window->ProgressBarUpdate->maximum(), 8192);
    EXPECT_EQ(window->ProgressBarUpdate->value(), 4096);
}

TEST_F(UpdateWindowFixture, LayoutAndFirstShow) {
    TfrmUpdate& w = *window;
    EXPECT_EQ(w.windowTitle(), "Web-Update (Zettelwerk)");
    EXPECT_EQ(w.size(), QSize(499, 113));
    EXPECT_EQ(w.property("helpContext").toInt(), 1006);
    EXPECT_EQ(w.BitBtnUpdate->geometry(), QRect(8, 8, 169, 33));
    EXPECT_EQ(w.CBAutomaticUpdateEnabled->geometry(), QRect(8, 48, 473, 17));
    EXPECT_EQ(w.CBAutomaticUpdateEnabled->text(), "automatisch nach Updates suchen");
    EXPECT_EQ(w.LabelUpdateVersuch->pos(), QPoint(184, 16));
    EXPECT_EQ(w.ProgressBarUpdate->geometry(), QRect(0, 78, 501, 16));
    EXPECT_FALSE(w.AniIcon->isVisibleTo(&w));
    EXPECT_EQ(w.UpdateEngine->UpdateType, httpUpdate);
    EXPECT_TRUE(w.UpdateEngine->URL.endsWith("/update/zettelwerk/zettelwerk.inf") ||
                w.UpdateEngine->URL == engine.URL);
    EXPECT_TRUE(TfrmUpdate::DefaultUpdateUrl().endsWith("/update/zettelwerk/zettelwerk.inf"));
    EXPECT_TRUE(w.UpdateEngine->Logging);
    EXPECT_EQ(w.UpdateEngine->UpdateUpdate, wuuPromptOnce);

    w.show();
    EXPECT_EQ(w.BitBtnUpdate->text(), QString::fromUtf8("auf Update prüfen"));
    EXPECT_TRUE(w.BitBtnUpdate->isEnabled());
    EXPECT_FALSE(w.AniIcon->Active());
    EXPECT_EQ(w.LabelUpdateVersuch->text(), "Letzter Updateversuch:  ");
    EXPECT_TRUE(w.CBAutomaticUpdateEnabled->isChecked()) << "an empty value checks the box";
}

TEST_F(UpdateWindowFixture, CheckBoxStateSurvivesCloseAndShow) {
    MarkFirstStartDone(*dm); // the settings row; without one nothing is stored
    window->show();
    window->CBAutomaticUpdateEnabled->setChecked(false);
    window->close();
    window->CBAutomaticUpdateEnabled->setChecked(true);
    EXPECT_EQ(ReadSettings(*dm).automaticUpdate, "0");
    window->show();
    EXPECT_FALSE(window->CBAutomaticUpdateEnabled->isChecked());
    window->CBAutomaticUpdateEnabled->setChecked(true);
    window->close();
    EXPECT_EQ(ReadSettings(*dm).automaticUpdate, "1");
}

TEST_F(UpdateWindowFixture, NoNewVersionTwiceShowsTheBoxTwiceAndCloses) {
    updtest::WriteFile(Work("local.bin"), "x");
    // Date-based "no new version" and then version-based "no new version".
    ServeControlFile("[update]\ndate=01/01/2000\nlocalversion={APP}/local.bin\nnewversion=1.0\n");
    window->show();
    Click();

    EXPECT_EQ(Boxes("Information", kNoNewVersion), 2);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->BitBtnUpdate->text(), QString::fromUtf8("auf Update prüfen"));
    EXPECT_TRUE(window->BitBtnUpdate->isEnabled());
    EXPECT_FALSE(window->AniIcon->Active());
    EXPECT_EQ(window->StatusBar1->currentMessage(), "Closed Internet connection, Status: 3 Error: 0");

    window->show();
    EXPECT_GT(window->LabelUpdateVersuch->text().size(), QString("Letzter Updateversuch:  ").size())
        << "the attempt's date is shown";
    EXPECT_EQ(window->StatusBar1->currentMessage(), "Closed Internet connection, Status: 3 Error: 0")
        << "the status bar keeps the text of the previous run";
}

TEST_F(UpdateWindowFixture, MissingControlFileShowsErrorBoxAndEnablesTheButton) {
    window->show();
    Click();
    EXPECT_EQ(Boxes("Fehler", kNotFound), 1);
    // The engine's own report of the failed download is in the box's details.
    for (const TDialogRequest& r : dialogs) {
        if (r.text == kNotFound) {
            EXPECT_TRUE(r.details.contains(", Status: 6 Error: ")) << r.details.toStdString();
        }
    }
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->BitBtnUpdate->isEnabled());
    EXPECT_EQ(window->BitBtnUpdate->text(), QString::fromUtf8("auf Update prüfen"));
    EXPECT_TRUE(window->AniIcon->Active()) << "the animation keeps running";
    EXPECT_EQ(window->StatusBar1->currentMessage(), "Closed Internet connection, Status: 3 Error: 0");
}

TEST_F(UpdateWindowFixture, OfflineRunEndsVisibly) {
    platform.online.connected = false;
    window->UpdateEngine->URL = "http://update.example/update/zettelwerk/zettelwerk.inf";
    window->show();
    Click();
    EXPECT_EQ(LogLines().size(), 2) << "the log lines of an offline run stay as they were";
    EXPECT_EQ(
        Boxes("Fehler", QString::fromUtf8("Keine Verbindung zum Internet.\n"
                                          "Die Updateprüfung wurde beendet; bitte später erneut versuchen.")),
        1);
    EXPECT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(window->StatusBar1->currentMessage(), "Keine Internetverbindung");
    EXPECT_TRUE(window->BitBtnUpdate->isEnabled());
    EXPECT_EQ(window->BitBtnUpdate->text(), QString::fromUtf8("auf Update prüfen"));
    EXPECT_TRUE(window->isVisible());
}

TEST_F(UpdateWindowFixture, UnreachableServerEndsVisibly) {
    // A port that nobody listens on: the request cannot be opened.
    window->UpdateEngine->URL = "http://127.0.0.1:1/update/zettelwerk/zettelwerk.inf";
    window->show();
    Click();
    EXPECT_EQ(LogNumbers(), (QList<int>{963, 918, 921, 915, 917, 925, 949}));
    EXPECT_EQ(Boxes("Fehler", "Der Updateserver wurde nicht erreicht.\n"
                              "Bitte die Internetverbindung prüfen und später erneut versuchen."),
              1);
    EXPECT_EQ(window->StatusBar1->currentMessage(), "Updateserver nicht erreicht");
    EXPECT_TRUE(window->BitBtnUpdate->isEnabled());
    EXPECT_EQ(window->BitBtnUpdate->text(), QString::fromUtf8("auf Update prüfen"));
}

TEST_F(UpdateWindowFixture, ReadOnlyProgramDirectoryOnlyChecksAndWritesNothingThere) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into any directory; CTest runs this case as a normal account "
                        "(update_as_normal_user)";
    const QString installed = Work("usr/bin");
    QDir().mkpath(installed);
    QFile::setPermissions(installed, QFile::ReadOwner | QFile::ExeOwner);
    window->ProgramDirectory = installed;
    window->PackageFileList = Work("no-such.list");
    Serve("a.txt", "A");
    ServeControlFile("[update]\nunconditional=yes\nnewversion=9.0\n[files]\ncount=1\n[file1]\nurl=" +
                     FileUrl("a.txt") + "\ntargetdir=" + installed + "\n");
    window->show();
    Click();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].caption, "Information");
    EXPECT_TRUE(dialogs[0].text.startsWith(QString::fromUtf8("Version 9.0 von Zettelwerk ist verfügbar")))
        << dialogs[0].text.toStdString();
    EXPECT_TRUE(dialogs[0].text.contains(installed + QString::fromUtf8(" ist schreibgeschützt")));
    EXPECT_EQ(window->StatusBar1->currentMessage(), QString::fromUtf8("Version 9.0 verfügbar"));
    EXPECT_TRUE(window->BitBtnUpdate->isEnabled());
    EXPECT_TRUE(QDir(installed).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    EXPECT_FALSE(QFileInfo::exists(Work("a.txt"))) << "only the control file was fetched";
    EXPECT_TRUE(QFileInfo::exists(db.Directory() + "/WUPDATE.LOG"))
        << "the log lies beside the user's database";

    // The engine on its own finds out before the first download, not while replacing files.
    engine.RunUpdate();
    EXPECT_TRUE(LogNumbers().contains(974)) << LogLines().join('\n').toStdString();
    EXPECT_EQ(LogNumbers().count(915), 1) << "only the control file was fetched";
    EXPECT_EQ(engine.RunEnd(), TRunEnd::Refused);
    EXPECT_TRUE(QDir(installed).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    QFile::setPermissions(installed, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

namespace {

// Names of everything below the directory, for "nothing was written there".
QStringList Listing(const QString& dir) {
    QStringList names;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names << it.next();
    names.sort();
    return names;
}

} // namespace

// The program of the Debian package (even where root could write its directory): the signed
// control file is read, a newer release is named with the command that installs it, an older
// or equal one is "no new version", a stranger's signature is refused; the program's directory
// stays as it was, the log goes beside the user's database.
TEST_F(UpdateWindowFixture, DebianPackageNamesTheNewReleaseAndTheCommandThatInstallsIt) {
    if (!updtest::HaveMinisign())
        GTEST_SKIP() << "minisign is not installed (scripts/setup.sh installs it)";
    updtest::TMinisignKey key, stranger;
    ASSERT_TRUE(key.Ok() && stranger.Ok());
    const QString program = Work("usr/bin");
    QDir().mkpath(program);
    ASSERT_TRUE(QFile::copy(key.PublicKeyFile(), program + "/zettelwerk-update.pub"));
    updtest::WriteFile(Work("zettelwerk.list"), ("/.\n/usr\n" + program + "/zettelwerk\n").toUtf8());
    window->ProgramDirectory = program;
    window->PackageFileList = Work("zettelwerk.list");
    window->UpdateEngine->RequireSignature = true;
    const QString inf = server.Root() + "/zettelwerk.inf";
    ServeControlFile("[update]\nnewversion=9.0.1\n[application]\nappupdate=1\nappname={APP}/zettelwerk\n");
    ASSERT_TRUE(key.Sign(inf, "version:9.0.1 file:zettelwerk.inf"));
    const QStringList before = Listing(program);
    window->show();

    Click();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].caption, "Information");
    const QString text = dialogs[0].text;
    EXPECT_TRUE(
        text.startsWith(QString::fromUtf8("Version 9.0.1 von Zettelwerk ist verfügbar; installiert ist ")))
        << text.toStdString();
    EXPECT_TRUE(text.contains("\nsudo apt update && sudo apt install --only-upgrade zettelwerk\n"));
    EXPECT_TRUE(text.contains(server.Url("/apt"))) << "the package source beside the update server";
    EXPECT_FALSE(text.contains(QString::fromUtf8("Ungeprüfte")));
    EXPECT_EQ(window->StatusBar1->currentMessage(),
              QString::fromUtf8("Version 9.0.1 verfügbar: Update über die Paketverwaltung"));
    EXPECT_TRUE(window->BitBtnUpdate->isEnabled());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(Listing(program), before) << "nothing written beside the program";
    EXPECT_FALSE(QFileInfo::exists(Work("WUPDATE.LOG")));
    QFile log(db.Directory() + "/WUPDATE.LOG");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("[929]")) << "the new version, in the user's log";
    EXPECT_TRUE(platform.process.started.isEmpty());

    // The installed release itself: no new version, and the window closes.
    const QString installed = RunningProgramVersion();
    ASSERT_TRUE(key.Sign(inf, "version:" + installed + " file:zettelwerk.inf"));
    dialogs.clear();
    Click();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].text, kNoNewVersion);
    EXPECT_FALSE(window->isVisible());

    // Another key's signature: refused as in a self-updating program.
    ASSERT_TRUE(stranger.Sign(inf, "version:9.0.1 file:zettelwerk.inf"));
    window->show();
    dialogs.clear();
    Click();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].text, TfrmUpdate::RefusalText(um::rfOtherKey));
    EXPECT_EQ(Listing(program), before);
}

// The ticked box of an installed program: one check a day, told as a notification; nothing
// where the box is cleared or the program updates itself.
TEST_F(UpdateWindowFixture, AutomaticCheckOfTheInstalledProgramOnceADay) {
    if (!updtest::HaveMinisign())
        GTEST_SKIP() << "minisign is not installed (scripts/setup.sh installs it)";
    updtest::TMinisignKey key;
    ASSERT_TRUE(key.Ok());
    const QString program = Work("usr/bin");
    QDir().mkpath(program);
    ASSERT_TRUE(QFile::copy(key.PublicKeyFile(), program + "/zettelwerk-update.pub"));
    updtest::WriteFile(Work("zettelwerk.list"), (program + "/zettelwerk\n").toUtf8());
    const QString inf = server.Root() + "/zettelwerk.inf";
    ServeControlFile("[update]\nnewversion=9.0.1\n");
    ASSERT_TRUE(key.Sign(inf, "version:9.0.1 file:zettelwerk.inf"));
    std::vector<std::pair<QString, QString>> told;
    TAutomaticUpdateCheck check(
        *dm, [&told](const QString& title, const QString& text) { told.emplace_back(title, text); });
    check.ProgramDirectory = program;
    check.PackageFileList = Work("zettelwerk.list");
    check.ControlFileUrl = engine.URL;
    using O = TAutomaticUpdateCheck::TOutcome;

    EXPECT_EQ(check.RunIfDue(), O::NotDue) << "not before the first-start question is answered";
    EXPECT_EQ(CountSettingsRows(*dm), 0) << "and no settings row made by it";
    MarkFirstStartDone(*dm);
    StoreAutomaticUpdateFlag(*dm, false);
    EXPECT_EQ(check.RunIfDue(), O::NotDue) << "the box is cleared";
    StoreAutomaticUpdateFlag(*dm, true);
    check.PackageFileList = Work("no-such.list");
    EXPECT_EQ(check.RunIfDue(), O::NotDue) << "a program that updates itself is updated from the window";
    check.PackageFileList = Work("zettelwerk.list");
    EXPECT_TRUE(told.empty());

    EXPECT_EQ(check.RunIfDue(), O::Newer);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].first, QString::fromUtf8("Zettelwerk 9.0.1 ist verfügbar"));
    EXPECT_TRUE(told[0].second.contains("Paketverwaltung aktualisiert, in der Softwareverwaltung"))
        << "a notification wraps its lines itself";
    EXPECT_TRUE(told[0].second.contains("\n" + kPackageUpgradeCommand + "\n"));
    EXPECT_EQ(ReadSettings(*dm).lastUpdateTestDatum, ShortDateText(QDate::currentDate()));
    EXPECT_EQ(check.RunIfDue(), O::NotDue) << "once a day";
    EXPECT_EQ(told.size(), 1u);
    EXPECT_EQ(Listing(program), QStringList{program + "/zettelwerk-update.pub"});
}

TEST_F(UpdateWindowFixture, DownloadShowsTheAnimatedCursorAndMovesTheProgressBar) {
    Serve("a.txt", QByteArray(10000, 'a'));
    ServeControlFile("[update]\nunconditional=yes\n[files]\ncount=1\n[file1]\nurl=" + FileUrl("a.txt") +
                     "\n");
    window->show();
    Click();

    EXPECT_EQ(platform.cursors.registered.value(TfrmUpdate::crDownload), 8);
    EXPECT_EQ(platform.cursors.windowCursor.value(window.get()), TfrmUpdate::crDownload);
    EXPECT_EQ(platform.cursors.appCursor, 0) << "the application pointer is back to the default";
    ASSERT_EQ(platform.cursors.loadedPaths.size(), 1);
    EXPECT_TRUE(platform.cursors.loadedPaths[0].startsWith(Work(".zw-update-")))
        << "the cursor file lies in the run's private directory";
    EXPECT_TRUE(platform.cursors.loadedPaths[0].endsWith("/0.ani"));
    EXPECT_FALSE(QFileInfo::exists(platform.cursors.loadedPaths[0])) << "the cursor file is deleted";
    EXPECT_EQ(window->ProgressBarUpdate->maximum(), 10000);
    EXPECT_EQ(window->ProgressBarUpdate->value(), 10000);
    EXPECT_EQ(window->StatusBar1->currentMessage(), "Closed Internet connection, Status: 3 Error: 0");
    EXPECT_TRUE(window->BitBtnUpdate->isEnabled()) << "a run that has ended leaves the window ready";
    EXPECT_EQ(updtest::ReadFile(Work("a.txt")).size(), 10000);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].text, "Download update files ?");
    EXPECT_EQ(dialogs[0].caption, "Confirm");
}

TEST_F(UpdateWindowFixture, HandOffEndsTheProgramWithTheWindowStillShown) {
    MarkFirstStartDone(*dm);
    StoreAutomaticUpdateFlag(*dm, true);
    Serve("prog_new", "new");
    ServeControlFile(
        "[update]\nunconditional=yes\n[application]\nappupdate=1\nappname=prog\nappcomps=prog_new\n"
        "silentrestart=1\n[files]\ncount=1\n[file1]\nurl=" +
        FileUrl("prog_new") + "\n");
    window->UpdateEngine->SetHost(&host);
    window->UpdateEngine->SetUpdaterResourceOverride(SzddCompress("u", 'e'));
    window->show();
    window->CBAutomaticUpdateEnabled->setChecked(false);
    Click();

    EXPECT_EQ(host.terminated, 1);
    ASSERT_EQ(platform.process.started.size(), 1);
    EXPECT_TRUE(platform.process.started[0].startsWith(Work(".zw-update-")));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(ReadSettings(*dm).automaticUpdate, "1") << "the closing handler did not run";
    EXPECT_EQ(window->StatusBar1->currentMessage().left(6), "Spawn ");
}

TEST_F(UpdateWindowFixture, RefusedUpdatesShowOneErrorBoxEachAndEndReady) {
    if (!updtest::HaveMinisign())
        GTEST_SKIP() << "minisign is not installed (scripts/setup.sh installs it)";
    updtest::TMinisignKey key;
    ASSERT_TRUE(key.Ok());
    // The key that ships with the program lies beside it.
    ASSERT_TRUE(QFile::copy(key.PublicKeyFile(), Work("zettelwerk-update.pub")));
    window->UpdateEngine->RequireSignature = true;
    const QString inf = server.Root() + "/zettelwerk.inf";
    ServeControlFile("[update]\nunconditional=yes\n[files]\ncount=1\n[file1]\nurl=" + FileUrl("a.txt") +
                     "\nsha256=00\n");
    window->show();

    // No signature on the server: one box, about the signature, not about the control file.
    Click();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].caption, "Fehler");
    EXPECT_EQ(dialogs[0].text, TfrmUpdate::RefusalText(um::rfSignatureMissing));
    EXPECT_TRUE(dialogs[0].text.startsWith(QString::fromUtf8("Das Update ist nicht signiert")));
    EXPECT_EQ(window->StatusBar1->currentMessage(), "Update abgelehnt: Signaturdatei fehlt");
    EXPECT_TRUE(window->BitBtnUpdate->isEnabled());

    // Signed, then altered.
    ASSERT_TRUE(key.Sign(inf, "version:9.0 file:zettelwerk.inf"));
    Serve("zettelwerk.inf", updtest::ReadFile(inf) + "[action]\nrunbefore=evil\n");
    dialogs.clear();
    Click();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].text, TfrmUpdate::RefusalText(um::rfBadSignature));
    EXPECT_EQ(dialogs[0].details, "Invalid signature in update control file, Status: 11 Error: 4")
        << "the engine's report as the box's details";
    EXPECT_EQ(window->StatusBar1->currentMessage(), QString::fromUtf8("Update abgelehnt: Signatur ungültig"));
    EXPECT_EQ(window->BitBtnUpdate->text(), QString::fromUtf8("auf Update prüfen"));
    EXPECT_TRUE(platform.process.started.isEmpty());

    // Without the key file (and none built in) the window names a new version it cannot install.
    QFile::remove(Work("zettelwerk-update.pub"));
    if (BuiltInUpdatePublicKey())
        return;
    ServeControlFile("[update]\nnewversion=99.0\n");
    dialogs.clear();
    Click();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].caption, "Information");
    EXPECT_TRUE(
        dialogs[0].text.startsWith(QString::fromUtf8("Version 99.0.0.0 von Zettelwerk ist verfügbar")));
    EXPECT_EQ(window->StatusBar1->currentMessage(),
              QString::fromUtf8("Nur geprüft: kein Schlüssel für Updates"));
}

namespace {

// The account that owns the pre-placed files: a normal user made for the test when we are root.
std::optional<std::pair<uid_t, gid_t>> OtherAccount() {
    if (::geteuid() != 0)
        return std::nullopt;
    const char* name = "zwother";
    if (!::getpwnam(name))
        QProcess::execute("useradd", {"--system", "--no-create-home", "--shell", "/usr/sbin/nologin", name});
    const passwd* pw = ::getpwnam(name);
    if (!pw)
        return std::nullopt;
    return std::make_pair(pw->pw_uid, pw->pw_gid);
}

} // namespace

TEST_F(UpdateWindowFixture, FilesOfAnotherAccountUnderTheOldNamesChangeNothing) {
    if (!updtest::HaveMinisign())
        GTEST_SKIP() << "minisign is not installed (scripts/setup.sh installs it)";
    const auto account = OtherAccount();
    if (!account)
        GTEST_SKIP() << "needs root to make the other account (useradd) and give it the files";
    // The shared temporary directory as on every machine: sticky and writable by all.
    ASSERT_EQ(::chmod(QFile::encodeName(TmpDir()).constData(), 01777), 0);
    struct TPlaced {
        QString name;
        QByteArray data;
    };
    const QList<TPlaced> placed = {
        {"upd.ex_", SzddCompress("#!/bin/sh\ntouch swapped\n", 'e')},
        {"upd.exe", "#!/bin/sh\ntouch swapped\n"},
        {"0.ani", "RIFF junk"},
        {"zettelwerk.inf", "[update]\nunconditional=yes\n[action]\nrunbefore=evil.sh\n"},
    };
    QMap<QString, QDateTime> times;
    for (const TPlaced& p : placed) {
        const QString path = TmpDir() + "/" + p.name;
        updtest::WriteFile(path, p.data);
        ASSERT_EQ(::chown(QFile::encodeName(path).constData(), account->first, account->second), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0777), 0);
        times[p.name] = QFileInfo(path).lastModified();
    }

    updtest::TMinisignKey key;
    ASSERT_TRUE(key.Ok());
    ASSERT_TRUE(QFile::copy(key.PublicKeyFile(), Work("zettelwerk-update.pub")));
    window->UpdateEngine->RequireSignature = true;
    window->UpdateEngine->SetHost(&host);
    window->UpdateEngine->SetUpdaterResourceOverride(SzddCompress("the program's own updater", 'e'));
    QByteArray updater;
    host.onTerminate = [&] { updater = updtest::ReadFile(window->UpdateEngine->RunDirectory() + "upd.exe"); };
    const QByteArray program = QByteArray(20000, 'n');
    Serve("prog_new", program);
    ServeControlFile(
        "[update]\nunconditional=yes\n[application]\nappupdate=1\nappname=prog\nappcomps=prog_new\n"
        "silentrestart=1\n[files]\ncount=1\n[file1]\nurl=" +
        FileUrl("prog_new") +
        "\nsha256=" + QCryptographicHash::hash(program, QCryptographicHash::Sha256).toHex() + "\n");
    ASSERT_TRUE(key.Sign(server.Root() + "/zettelwerk.inf", "version:1.0.1"));
    const QStringList tmpBefore =
        QDir(TmpDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    window->show();
    Click();

    // The update went through with the program's own files ...
    EXPECT_EQ(host.terminated, 1);
    EXPECT_EQ(updater, "the program's own updater");
    ASSERT_EQ(platform.process.started.size(), 1);
    EXPECT_TRUE(platform.process.started[0].startsWith(Work(".zw-update-")))
        << "started from the run's directory";
    EXPECT_EQ(platform.cursors.loadedPaths.size(), 1);
    EXPECT_FALSE(platform.cursors.loadedPaths.value(0).startsWith(TmpDir()));
    EXPECT_EQ(updtest::ReadFile(Work("prog_new")), program);
    // ... and the other account's files are as they were, with nothing added beside them.
    for (const TPlaced& p : placed) {
        const QString path = TmpDir() + "/" + p.name;
        EXPECT_EQ(updtest::ReadFile(path), p.data) << p.name.toStdString();
        EXPECT_EQ(QFileInfo(path).ownerId(), account->first);
        EXPECT_EQ(QFileInfo(path).lastModified(), times[p.name]);
    }
    EXPECT_EQ(QDir(TmpDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), tmpBefore);
    EXPECT_FALSE(QFileInfo::exists(Work("swapped")));
}
