// Program entry: creates every window and the data module once, runs the tray, tears down in
// reverse order.
#include "admin/TfrmVerwaltung.h"
#include "app/ProgramDirectory.h"
#include "app/ProgramWindows.h"
#include "app/TfrmAutostartDialog.h"
#include "app/TfrmMain.h"
#include "info/TfrmAboutBox.h"
#include "notes/TfrmAnlegen.h"
#include "notes/TfrmSuchen.h"
#include "platform/ShellOpen.h"
#include "platform/TerminationSignals.h"
#include "platform/VersionInfo.h"
#include "store/ConnectionSettings.h"
#include "store/TDataModuleNotizen.h"
#include "store/fb/FbApi.h"
#include "ui/ConnectionStatusBar.h"
#include "ui/ErrorDisplay.h"
#include "ui/ImageListMain.h"
#include "ui/MessageDialogs.h"
#include "ui/WindowShow.h"
#include "update/TfrmUpdate.h"

#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

int printVersion() {
    const auto r = ReadVersionResource(QStringLiteral("/proc/self/exe"));
    QString product = QStringLiteral("?"), file = QStringLiteral("?");
    if (r && !r->translations.isEmpty()) {
        const QString p = "\\StringFileInfo\\" + r->translations[0].Key() + "\\";
        product = r->Value(p + "ProductVersion");
        file = r->Value(p + "FileVersion");
    }
    std::printf("Zettelwerk %s (Dateiversion %s)\n", product.toUtf8().constData(), file.toUtf8().constData());
    return 0;
}

int printUsage() {
    // The man page zettelwerk(1) states the same options and variables.
    std::printf("Aufruf: zettelwerk [/debug | -debug | --version | --help]\n"
                "Zettelwerk - Das Notizwerkzeug. Das Programm liegt im Infobereich der Taskleiste;\n"
                "notizen.gdb und zettelwerk.chm liegen neben dem Programm; ein installiertes Programm\n"
                "legt notizen.gdb beim ersten Start in $XDG_DATA_HOME/zettelwerk/ an\n"
                "(sonst ~/.local/share/zettelwerk/), zettelwerk.chm liegt in ../share/zettelwerk/.\n"
                "\n"
                "Datenbank: die Datei notizen.gdb wie oben, oder eine Datenbank auf einem\n"
                "Firebird-Server, angegeben in ~/.config/zettelwerk/zettelwerk.conf (Modus 0600):\n"
                "  database=notizserver:/var/lib/firebird/3.0/data/notizen.gdb\n"
                "  database=notizserver/3051:notizen      (Rechner/Port:Alias)\n"
                "  user=sysdba\n"
                "  password=geheim\n"
                "oder für einen Lauf: ZETTELWERK_DATABASE=notizserver:/pfad/notizen.gdb zettelwerk\n"
                "\n"
                "Optionen:\n"
                "  /debug, -debug  Hilfe-Protokoll HelpDebug.txt schreiben\n"
                "  --version       Version ausgeben\n"
                "  --help          diese Hilfe\n"
                "\n"
                "Umgebung:\n"
                "  XDG_DATA_HOME             Ort der Datenbank (sonst ~/.local/share)\n"
                "  XDG_CONFIG_HOME           Ort des Autostart-Eintrags und von\n"
                "                            zettelwerk/zettelwerk.conf (sonst ~/.config)\n"
                "  ZETTELWERK_DATABASE       Datenbank für diesen Lauf: Pfad oder Server:Pfad\n"
                "                            (vor database= der Einstellungsdatei)\n"
                "  XDG_RUNTIME_DIR           Sperr- und Zwischendateien der Datenbank-Engine\n"
                "                            in zettelwerk/ (sonst im Cache-Verzeichnis)\n"
                "  XDG_CACHE_HOME            Cache-Verzeichnis mit der Konfiguration der\n"
                "                            Datenbank-Engine (sonst ~/.cache)\n"
                "  FIREBIRD, FIREBIRD_LOCK, FIREBIRD_TMP\n"
                "                            Verzeichnisse der Datenbank-Engine, wenn gesetzt\n"
                "  ZETTELWERK_UPDATE_SERVER  Update-Server für diesen Lauf (Schema und Rechner)\n"
                "  ZW_QUIT_WHEN_IDLE=1       beendet das Programm, sobald es bereit ist\n"
                "  ZW_AUTO_ANSWER=default    beantwortet jede Meldung mit ihrer Standardschaltfläche\n"
                "                            und schreibt sie auf die Fehlerausgabe (für automatische\n"
                "                            Tests)\n");
    return 0;
}

// Headless runs: every dialog takes its default button and is logged to stderr.
void installAutoAnswer() {
    SetDialogAnswerer([](const TDialogRequest& r) {
        std::fprintf(stderr, "dialog: %s | %s\n", r.caption.toUtf8().constData(),
                     QString(r.text).replace('\n', QLatin1String("\\n")).toUtf8().constData());
        std::fflush(stderr);
        return DefaultResult(r.buttons);
    });
}

// The connection broadcast reaches the status bars of the windows that exist, in this order.
void MarkConnected(const TProgramWindows& windows, const QString& fileName) {
    if (windows.anlegen)
        windows.anlegen->StatusBar()->MarkConnected(fileName);
    if (windows.suchen)
        windows.suchen->StatusBar()->MarkConnected(fileName);
    if (windows.verwaltung)
        windows.verwaltung->StatusBar()->MarkConnected(fileName);
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0)
            return printVersion();
        if (std::strcmp(argv[i], "--help") == 0)
            return printUsage();
    }

    // Before any thread starts, so that a termination request only reaches the event loop.
    BlockTerminationSignals();
    TZettelwerkApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zettelwerk"));
    QApplication::setWindowIcon(ImageListMain::TrayIcon());
    // The main window is never shown; only its close ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    // Programs started for links must not inherit the blocked termination signals.
    RouteDesktopUrlsThroughShellOpen();
    if (qEnvironmentVariable("ZW_AUTO_ANSWER") == QLatin1String("default"))
        installAutoAnswer();

    int exitCode = 0;
    // The data module exists from here so that every window is given it; it connects at its
    // place in the order of creation below. Installed programs keep the database in the
    // user's data directory.
    // A configured server leaves the program directory to the help file and the backup.
    const TConnectionChoice connection = LoadConnectionSettings();
    if (!connection.error.isEmpty()) {
        MessageDlg(connection.error + QStringLiteral("\nZettelwerk wird beendet ..."), TMsgDlgType::Custom,
                   mbOK);
        return 1;
    }
    QString directoryError;
    const QString programDirectory =
        PrepareProgramDirectory(QCoreApplication::applicationDirPath(), &directoryError);
    if (!directoryError.isEmpty())
        std::fprintf(stderr, "zettelwerk: %s\n", directoryError.toLocal8Bit().constData());
    TDataModuleNotizen dataModule(programDirectory);
    if (connection.source != TConnectionSource::Embedded)
        dataModule.UseDatabase(connection.database, connection.credentials);
    TProgramWindows windows;

    bool mainClosed = false;
    try {
        windows.main = std::make_unique<TfrmMain>(windows);
        TfrmMain* main = windows.main.get();
        // A close during start-up (from a message box's own loop) must not be lost.
        QObject::connect(main, &TfrmMain::Closed, &app, [&mainClosed] {
            mainClosed = true;
            QCoreApplication::quit();
        });
        // The session ending or a kill asks the main window to close, as "Beenden" does.
        WatchTerminationSignals([&windows] {
            if (windows.main)
                windows.main->close();
        });
        windows.about = std::make_unique<TfrmAboutBox>(&dataModule);
        windows.suchen = std::make_unique<TfrmSuchen>(dataModule);
        windows.anlegen = std::make_unique<TfrmAnlegen>(dataModule);
        // The administration window's services are the first users of the client library.
        fb::Client();
        windows.verwaltung = std::make_unique<TfrmVerwaltung>(dataModule, [&windows] {
            if (windows.update)
                ShowModal(windows.update.get());
        });
        windows.update = std::make_unique<TfrmUpdate>(dataModule);

        QObject::connect(&dataModule, &TDataModuleNotizen::Connected,
                         [&windows](const QString& fileName) { MarkConnected(windows, fileName); });
        bool quitRequested = false;
        if (!dataModule.DataModuleCreate()) {
            // The engine's reason tells a lock-directory problem from a damaged or missing file.
            QStringList cause{directoryError, dataModule.LastConnectError()};
            cause.removeAll(QString());
            // A server that cannot be reached or refuses the account is named in German.
            QString text =
                QString::fromUtf8("Kritischer Fehler beim Öffnen der Datenbank\nZettelwerk wird beendet ...");
            if (!dataModule.LastConnectFault().isEmpty())
                text += QStringLiteral("\n\n") + WithFullStop(dataModule.LastConnectFault());
            MessageDlg(text, TMsgDlgType::Custom, mbOK, 0, cause.join(u'\n'));
            quitRequested = true;
            exitCode = 1;
        }

        windows.autostart = std::make_unique<TfrmAutostartDialog>(dataModule, *windows.verwaltung);

        // After a failed connect the loop does not run at all: no timer is served.
        if (!quitRequested && !mainClosed) {
            main->StartupComplete();
            if (qEnvironmentVariable("ZW_AUTO_ANSWER") == QLatin1String("default"))
                QTimer::singleShot(0, &app, [] {
                    std::fprintf(stderr, "event loop running\n");
                    std::fflush(stderr);
                });
            if (qEnvironmentVariable("ZW_QUIT_WHEN_IDLE") == QLatin1String("1"))
                QTimer::singleShot(0, &app, &QCoreApplication::quit);
            exitCode = app.exec();
        }
    } catch (const fb::LibraryError& e) {
        ShowErrorText(QString::fromUtf8(e.what()), QString::fromLocal8Bit(e.Detail().c_str()));
        exitCode = 2;
    } catch (const std::exception& e) {
        ShowException(e);
        exitCode = 3;
    }

    StopWatchingTerminationSignals();
    // Reverse order of creation: the first-start question, then the data module (it commits
    // and disconnects), then the other windows.
    windows.autostart.reset();
    try {
        dataModule.Close();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zettelwerk: %s\n", e.what());
    }
    windows.DestroyAll();
    return exitCode;
}
