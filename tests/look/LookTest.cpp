// Every window and message dialog of the program, shown with its real class: no text may be
// cut off and no two widgets may overlap. look_run.sh runs this under a virtual X server with
// one font configuration and one scale factor; screenshots go to ZW_LOOK_SHOTS when it is set.
#include "admin/TfrmVerwaltung.h"
#include "app/TfrmAutostartDialog.h"
#include "common/TempDatabase.h"
#include "info/TfrmAboutBox.h"
#include "look/LookCheck.h"
#include "notes/TfrmAnlegen.h"
#include "notes/TfrmPapierkorb.h"
#include "notes/TfrmSuchen.h"
#include "platform/Autostart.h"
#include "platform/fake/FakeAutostart.h"
#include "platform/linux/HelpWindowLinux.h"
#include "store/TDataModuleNotizen.h"
#include "store/TSettings.h"
#include "ui/ConnectionStatusBar.h"
#include "ui/ErrorDisplay.h"
#include "ui/MessageDialogs.h"
#include "ui/WindowLook.h"
#include "update/ControlFile.h"
#include "update/TLoginForm.h"
#include "update/TUpdateEngine.h"
#include "update/TfrmUpdate.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

QString Fonts() {
    return qEnvironmentVariable("ZW_LOOK_FONTS");
}

// Shows the window as the user sees it, checks it, keeps a screenshot, hides it again.
void Look(QWidget* window, const QString& shot) {
    if (!window->isVisible())
        window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window)) << shot.toStdString();
    QTest::qWait(60); // the first paint
    const QStringList faults = LookFaults(window);
    EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
    const QString dir = qEnvironmentVariable("ZW_LOOK_SHOTS");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        const QPixmap picture = window->screen()->grabWindow(window->winId());
        EXPECT_TRUE(picture.save(dir + u'/' + shot + QStringLiteral(".png"))) << shot.toStdString();
    }
}

// Runs open(), which shows a modal dialog, and looks at that dialog before closing it.
void LookAtModal(const std::function<void()>& open, const QString& shot) {
    bool seen = false;
    std::function<void()> poll;
    poll = [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog) {
            QTimer::singleShot(20, poll);
            return;
        }
        seen = true;
        Look(dialog, shot);
        dialog->close();
    };
    QTimer::singleShot(0, poll);
    open();
    EXPECT_TRUE(seen) << shot.toStdString();
}

// The data module on a fresh copy of the delivered database, wired to the status bars
// as the program wires it.
class LookTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetAutostart(&autostart);
        SetDialogAnswerer({});
        SetHelpRequestHandler({});
        dm = std::make_unique<TDataModuleNotizen>(db.Directory());
    }
    void TearDown() override {
        dm.reset();
        SetAutostart(nullptr);
    }

    // Connects, marking the given status bars as the program does.
    void OpenDatabase(const QList<TConnectionStatusBar*>& bars = {}) {
        for (TConnectionStatusBar* bar : bars)
            QObject::connect(dm.get(), &TDataModuleNotizen::Connected, bar,
                             &TConnectionStatusBar::MarkConnected);
        ASSERT_TRUE(dm->DataModuleCreate()) << dm->LastConnectError().toStdString();
    }

    TTempDatabase db;
    TFakeAutostart autostart;
    std::unique_ptr<TDataModuleNotizen> dm;
};

TEST(LookFonts, ConfigurationInEffect) {
    const QString face = QFontInfo(ClassicFont()).family();
    if (Fonts() == QLatin1String("dejavu")) {
        const QStringList generic{"Sans Serif", "Serif", "Monospace"}; // Qt's own aliases
        for (const QString& family : QFontDatabase::families())
            if (!generic.contains(family)) {
                EXPECT_TRUE(family.startsWith(QLatin1String("DejaVu"))) << family.toStdString();
            }
        EXPECT_EQ(face, "DejaVu Sans");
    } else if (Fonts() == QLatin1String("liberation")) {
        EXPECT_EQ(face, "Liberation Sans");
    } else {
        GTEST_SKIP() << "no font configuration named (ZW_LOOK_FONTS)";
    }
}

TEST_F(LookTest, FirstStartQuestion) {
    TfrmVerwaltung verwaltung(*dm, [] {});
    TfrmAutostartDialog question(*dm, verwaltung);
    Look(&question, "first_start_question");
}

TEST_F(LookTest, NewNoteWindow) {
    TfrmAnlegen anlegen(*dm);
    OpenDatabase({anlegen.StatusBar()});
    Look(&anlegen, "new_note");
}

TEST_F(LookTest, NotesListWindow) {
    TfrmSuchen suchen(*dm);
    OpenDatabase({suchen.StatusBar()});
    dm->SaveNewNote("Einkauf", "Brot, Milch, Käse\r\nund Äpfel für die Woche");
    dm->SaveNewNote("Grüße an Großmutter", "Anrufen am Sonntag");
    Look(&suchen, "notes_list");
    suchen.hide();
    // The trash with a deleted note.
    dm->DeleteNote(2);
    TfrmPapierkorb trash(*dm);
    Look(&trash, "trash");
}

TEST_F(LookTest, AdministrationWindow) {
    TfrmVerwaltung verwaltung(*dm, [] {});
    OpenDatabase({verwaltung.StatusBar()});
    // The longest state text of the status bar.
    verwaltung.StatusBar()->SetText(
        QStringLiteral("Datenbankverbindung wurde wieder geöffnet. Restore beendet."));
    Look(&verwaltung, "administration");
    verwaltung.hide();
    autostart.entries[TfrmVerwaltung::kAutostartName] = "/usr/bin/zettelwerk";
    Look(&verwaltung, "administration_autostart_active");
}

TEST_F(LookTest, UpdateWindowAndLogin) {
    OpenDatabase();
    RecordUpdateCheckDate(*dm);
    TfrmUpdate update(*dm);
    Look(&update, "update");
    // While a check runs.
    update.BitBtnUpdate->setText(TfrmUpdate::kCaptionChecking);
    update.BitBtnUpdate->setEnabled(false);
    Look(&update, "update_checking");
    update.hide();

    TLoginForm login;
    login.setWindowTitle(QStringLiteral("Connect to updates.example.org"));
    Look(&login, "login");
}

TEST_F(LookTest, UpdateTextDialogs) {
    TTextDialogRequest notes;
    notes.Kind = TTextDialogKind::ReleaseNotes;
    notes.Caption = QStringLiteral("Was ist neu?");
    notes.Lines = {QStringLiteral("Version 1.0.1"), QStringLiteral("- Die Suche findet auch Umlaute.")};
    notes.OkButton = cf::DefOkBtn;
    notes.CancelButton = cf::DefCancelBtn;
    const auto notesDialog = BuildTextDialog(notes);
    Look(notesDialog.get(), "update_release_notes");
    notesDialog->hide();

    TTextDialogRequest licence;
    licence.Kind = TTextDialogKind::License;
    licence.Caption = QStringLiteral("Lizenz");
    licence.Lines = {QStringLiteral("Zettelwerk darf frei verwendet werden.")};
    licence.OkButton = cf::DefOkBtn;
    licence.Accept = cf::DefAccept;
    licence.NotAccept = cf::DefNotAccept;
    const auto licenceDialog = BuildTextDialog(licence);
    Look(licenceDialog.get(), "update_licence");
}

TEST_F(LookTest, AboutWindow) {
    OpenDatabase();
    TfrmAboutBox about(dm.get());
    Look(&about, "about");
}

TEST_F(LookTest, HelpViewer) {
    auto archive = std::make_shared<TChmArchive>();
    ASSERT_TRUE(archive->Open(QDir(qEnvironmentVariable("ZW_BIN_DIR")).filePath("zettelwerk.chm")));
    THelpWindow help(archive);
    const QString topic = archive->TopicOfContext(1001);
    help.ShowTopic(topic.isEmpty() ? archive->DefaultTopic() : topic);
    Look(&help, "help");
}

TEST_F(LookTest, MessageDialogs) {
    LookAtModal(
        [] {
            MessageDlg(QStringLiteral("Ein evtl. vorhandenes Backup NOTIZENBACKUP wird überschrieben.\n"
                                      "Soll jetzt ein Backup gezogen werden?"),
                       TMsgDlgType::Confirmation, mbYes | mbNo | mbHelp, 1005);
        },
        "confirm");
    LookAtModal(
        [] {
            MessageDlg(QStringLiteral("Eine neue Version ist verfügbar. Jetzt installieren?"),
                       TMsgDlgType::Information, mbYes | mbNo | mbCancel);
        },
        "information");
    LookAtModal(
        [] { ShowErrorText(QStringLiteral("Unable to complete network request to host \"localhost\"")); },
        "error");
    LookAtModal(
        [] {
            ShowDialogRequest(TDialogRequest{QStringLiteral("Zettelwerk"),
                                             QStringLiteral("MS Html Help is not installed on this PC."),
                                             TMsgDlgType::Warning,
                                             mbOK,
                                             0,
                                             {}});
        },
        "warning");
    LookAtModal(
        [] {
            MessageDlg(
                QStringLiteral("Kritischer Fehler beim Öffnen der Datenbank\nZettelwerk wird beendet ..."),
                TMsgDlgType::Custom, mbOK, 0,
                QStringLiteral(
                    "operating system directive access failed\nPermission denied\n/tmp/firebird/"));
        },
        "custom");
    LookAtModal(
        [] {
            SystemMessageBox(
                QStringLiteral("Datei ZETTELWERK.INF auf Updateserver nicht gefunden -> WUPDATE.LOG\n"
                               "Internetzugang freigeschaltet?"),
                QStringLiteral("Fehler"));
        },
        "system_box");
}

// The texts speak of the system they run on.
TEST_F(LookTest, TextsNameTheLinuxDesktop) {
    TfrmVerwaltung verwaltung(*dm, [] {});
    TfrmAutostartDialog question(*dm, verwaltung);
    for (const QWidget* window : {static_cast<QWidget*>(&question), static_cast<QWidget*>(&verwaltung)})
        for (const QString& text : VisibleTexts(window)) {
            EXPECT_FALSE(text.contains(QLatin1String("Windows"))) << text.toStdString();
            EXPECT_FALSE(text.contains(QLatin1String(" enes "))) << text.toStdString();
        }
}

} // namespace
