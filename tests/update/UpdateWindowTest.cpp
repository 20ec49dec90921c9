// The update window over a fresh database: layout, settings on show and close, status texts,
// the two message boxes and the animated download cursor, with the engine on a loopback server.
#include "EngineTestSupport.h"
#include "common/TempDatabase.h"
#include "platform/AniCursor.h"
#include "store/TDataModuleNotizen.h"
#include "store/TSettings.h"
#include "update/DownloadCursorData.h"
#include "update/SzddEncoder.h"
#include "update/TfrmUpdate.h"

#include <QCheckBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStatusBar>
#include <memory>

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

TEST_F(UpdateWindowFixture, OfflineLeavesTheWindowChecking) {
    platform.online.connected = false;
    window->UpdateEngine->URL = "http://update.example/update/zettelwerk/zettelwerk.inf";
    window->show();
    Click();
    EXPECT_TRUE(dialogs.empty());
    EXPECT_EQ(window->StatusBar1->currentMessage(), "Checking for Internet connection, Status: 3 Error: 0");
    EXPECT_FALSE(window->BitBtnUpdate->isEnabled());
    EXPECT_EQ(window->BitBtnUpdate->text(), "Updateprüfung gestartet...");
    EXPECT_EQ(LogLines().size(), 2);
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
    EXPECT_TRUE(platform.cursors.loadedPaths[0].endsWith("/0.ani"));
    EXPECT_FALSE(QFileInfo::exists(platform.cursors.loadedPaths[0])) << "the cursor file is deleted";
    EXPECT_EQ(window->ProgressBarUpdate->maximum(), 10000);
    EXPECT_EQ(window->ProgressBarUpdate->value(), 10000);
    EXPECT_EQ(window->StatusBar1->currentMessage(), "Closed Internet connection, Status: 3 Error: 0");
    EXPECT_FALSE(window->BitBtnUpdate->isEnabled()) << "a run with downloads leaves the window checking";
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
    EXPECT_TRUE(platform.process.started[0].startsWith(TmpDir() + "/upd.exe "));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(ReadSettings(*dm).automaticUpdate, "1") << "the closing handler did not run";
    EXPECT_EQ(window->StatusBar1->currentMessage().left(6), "Spawn ");
}
