// Program entry: creates every window and the data module once, runs the tray, tears down in
// reverse order.
#include "admin/TfrmVerwaltung.h"
#include "app/CommandLineOptions.h"
#include "app/FirstStartRecord.h"
#include "app/NoteFiles.h"
#include "app/NoteSearchCommand.h"
#include "app/ProgramChannel.h"
#include "app/ProgramDirectory.h"
#include "app/ProgramWindows.h"
#include "app/TfrmAutostartDialog.h"
#include "app/TfrmMain.h"
#include "info/TfrmAboutBox.h"
#include "notes/NoteRules.h"
#include "notes/TfrmAnlegen.h"
#include "notes/TfrmSuchen.h"
#include "platform/ShellOpen.h"
#include "platform/TerminationSignals.h"
#include "platform/TrayIcon.h"
#include "platform/VersionInfo.h"
#include "store/ConnectionSettings.h"
#include "store/DraftStore.h"
#include "store/TDataModuleNotizen.h"
#include "store/TSettings.h"
#include "store/fb/FbApi.h"
#include "ui/ConnectionStatusBar.h"
#include "ui/ErrorDisplay.h"
#include "ui/ImageListMain.h"
#include "ui/MessageDialogs.h"
#include "ui/WindowShow.h"
#include "update/TfrmUpdate.h"
#include "update/UpdateAvailability.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTextStream>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <optional>

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
    std::printf(
        "%s", QStringLiteral(
                  "Aufruf: zettelwerk [--neue-notiz] [--suchen] [/debug | -debug] | --export VERZEICHNIS | "
                  "--import DATEI... | --version | --help\n"
                  "       zettelwerk --suchen BEGRIFF... | --finden BEGRIFF...\n"
                  "Zettelwerk - Das Notizwerkzeug. Das Programm liegt im Infobereich der Taskleiste;\n"
                  "notizen.gdb und zettelwerk.chm liegen neben dem Programm; ein installiertes Programm\n"
                  "legt notizen.gdb beim ersten Start in $XDG_DATA_HOME/zettelwerk/ an\n"
                  "(sonst ~/.local/share/zettelwerk/), zettelwerk.chm liegt in ../share/zettelwerk/.\n"
                  "Jeder Aufruf ohne --neue-notiz und --suchen startet ein weiteres Zettelwerk.\n"
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
                  "  --neue-notiz         das Fenster „Notiz erfassen“ im Zettelwerk öffnen, das für diesen\n"
                  "                       Benutzer auf derselben notizen.gdb läuft; läuft keins, startet\n"
                  "                       Zettelwerk und öffnet es dann\n"
                  "  --suchen             ebenso die „Notizenliste“\n"
                  "  --suchen BEGRIFF...  die „Notizenliste“ öffnen und darin nach BEGRIFF suchen\n"
                  "  --finden BEGRIFF...  ohne grafische Oberfläche suchen (auch während Zettelwerk\n"
                  "                       läuft): je gefundene Notiz eine Zeile mit Anlagezeit und\n"
                  "                       Titel, nach Titel geordnet; Rückgabewert 0: gefunden,\n"
                  "                       1: nichts gefunden, 2: Aufruf- oder Datenbankfehler.\n"
                  "                       Gefunden wird eine Notiz, die jedes Wort des Begriffs im\n"
                  "                       Titel oder Text enthält (Groß- und Kleinschreibung gleich,\n"
                  "                       ß wie ss; \"mehrere Wörter\" in Anführungszeichen als ein\n"
                  "                       Wort), oder deren Titel auf BEGRIFF passt (% und _ als\n"
                  "                       Platzhalter)\n"
                  "  --export VERZEICHNIS jede Notiz als UTF-8-Textdatei (der Titel als Dateiname, die\n"
                  "                       Anlagezeit als Dateizeit) und alle nach Titel geordnet in\n"
                  "                       notizen.md in ein neues oder leeres VERZEICHNIS schreiben;\n"
                  "                       notizen.md hält Titel und Anlagezeit jeder Notiz genau fest\n"
                  "  --import DATEI...    Textdateien (UTF-8) als neue Notizen aufnehmen: der Dateiname als\n"
                  "                       Titel (ohne .txt, höchstens 50 Zeichen), die Änderungszeit der\n"
                  "                       Datei als Anlagezeit; Dateien eines Exports bekommen Titel,\n"
                  "                       Anlagezeit und Text aus dessen notizen.md zurück; eine Notiz, die\n"
                  "                       es mit Titel, Text und Anlagezeit schon gibt, wird übersprungen\n"
                  "                       und gezählt; vorhandene Notizen bleiben unverändert; ist eine\n"
                  "                       Datei nicht lesbar, wird nichts aufgenommen. --export und\n"
                  "                       --import arbeiten auch, während Zettelwerk läuft, und brauchen\n"
                  "                       keine grafische Oberfläche.\n"
                  "  /debug, -debug       Hilfe-Protokoll HelpDebug.txt schreiben\n"
                  "  --version            Version ausgeben\n"
                  "  --help               diese Hilfe\n"
                  "\n"
                  "Tastenkürzel in den Fenstern:\n"
                  "  Strg+S   Notiz sichern (Notiz erfassen), Notizänderung sichern (Notizenliste)\n"
                  "  Strg+F   in das Suchfeld der Notizenliste\n"
                  "  Strg+N   aus der Notizenliste eine neue Notiz anlegen\n"
                  "  F5       alle Notizen auflisten (Notizenliste)\n"
                  "  Esc      das Fenster schließen (mit der Rückfrage, wenn etwas ungesichert ist)\n"
                  "\n"
                  "Ein Tastenkürzel für die ganze Arbeitsfläche (etwa Super+N für eine neue Notiz) legen\n"
                  "Sie in den Tastatureinstellungen der Arbeitsumgebung an, mit dem Befehl\n"
                  "„zettelwerk --neue-notiz“ (oder „zettelwerk --suchen“):\n"
                  "  GNOME: Einstellungen > Tastatur > Tastenkürzel anzeigen und anpassen >\n"
                  "         Eigene Tastenkürzel > +\n"
                  "  KDE Plasma: Systemeinstellungen > Kurzbefehle > Neu hinzufügen > Befehl oder Skript\n"
                  "         (oder: Anwendung > Zettelwerk, dann „Notiz anlegen“ ein Kürzel geben)\n"
                  "\n"
                  "Umgebung:\n"
                  "  XDG_DATA_HOME             Ort der Datenbank (sonst ~/.local/share)\n"
                  "  XDG_CONFIG_HOME           Ort des Autostart-Eintrags und von\n"
                  "                            zettelwerk/zettelwerk.conf (sonst ~/.config)\n"
                  "  ZETTELWERK_DATABASE       Datenbank für diesen Lauf: Pfad oder Server:Pfad\n"
                  "                            (vor database= der Einstellungsdatei)\n"
                  "  XDG_RUNTIME_DIR           Sperr- und Zwischendateien der Datenbank-Engine und der\n"
                  "                            Socket, über den spätere Aufrufe das laufende Programm\n"
                  "                            erreichen, in zettelwerk/ (sonst im Cache-Verzeichnis)\n"
                  "  XDG_CACHE_HOME            Cache-Verzeichnis mit der Konfiguration der\n"
                  "                            Datenbank-Engine (sonst ~/.cache)\n"
                  "  FIREBIRD, FIREBIRD_LOCK, FIREBIRD_TMP\n"
                  "                            Verzeichnisse der Datenbank-Engine, wenn gesetzt\n"
                  "  ZETTELWERK_UPDATE_SERVER  Update-Server für diesen Lauf (Schema und Rechner)\n"
                  "  ZW_QUIT_WHEN_IDLE=1       beendet das Programm, sobald es bereit ist\n"
                  "  ZW_AUTO_ANSWER=default    beantwortet jede Meldung mit ihrer Standardschaltfläche\n"
                  "                            und schreibt sie auf die Fehlerausgabe (für automatische\n"
                  "                            Tests)\n")
                  .toUtf8()
                  .constData());
    return 0;
}

// --export, --import and --finden: no window, no display; the database as the program would open it.
int RunTransfer(const TCommandLine& line, const QString& programDirectory,
                const TConnectionChoice& connection) {
    QTextStream out(stdout), err(stderr);
    TDataModuleNotizen dataModule(programDirectory);
    if (connection.source != TConnectionSource::Embedded)
        dataModule.UseDatabase(connection.database, connection.credentials);
    // A search tells "nothing found" by 1, as grep does; its failures are 2.
    const int failed = line.command == TStartCommand::Find ? kFindFailedExit : 1;
    try {
        if (!dataModule.DataModuleCreate()) {
            err << "zettelwerk: Die Datenbank " << dataModule.DatabaseFileName()
                << " kann nicht geöffnet werden: " << dataModule.LastConnectError() << Qt::endl;
            return failed;
        }
        const int rc = line.command == TStartCommand::Find ? FindNotesCommand(dataModule, line.findTerm, out)
                       : line.command == TStartCommand::Export
                           ? ExportNotes(dataModule, line.exportDirectory, out, err)
                           : ImportNotes(dataModule, line.importFiles, out, err);
        dataModule.Close();
        return rc;
    } catch (const std::exception& e) {
        err << "zettelwerk: " << QString::fromUtf8(e.what()) << Qt::endl;
        return failed;
    }
}

// The running program's door: one per database file, in the user's directory for the session.
QString ChannelSocketPath(const QString& databaseFile) {
    const QString dir = ProgramChannelDirectory();
    return dir.isEmpty() ? QString() : dir + u'/' + ProgramChannelName(databaseFile);
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

// The connection broadcast reaches the status bars of the windows made so far, in this order.
void MarkConnected(const TProgramWindows& windows, const QString& fileName) {
    if (TfrmAnlegen* w = windows.anlegen.Existing())
        w->StatusBar()->MarkConnected(fileName);
    if (TfrmSuchen* w = windows.suchen.Existing())
        w->StatusBar()->MarkConnected(fileName);
    if (TfrmVerwaltung* w = windows.verwaltung.Existing())
        w->StatusBar()->MarkConnected(fileName);
}

} // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const TCommandLine line = ParseCommandLine(arguments);
    switch (line.command) {
    case TStartCommand::Help:
        return printUsage();
    case TStartCommand::Version:
        return printVersion();
    case TStartCommand::Error:
        std::fprintf(stderr, "zettelwerk: %s\nzettelwerk --help nennt die Optionen.\n",
                     line.error.toLocal8Bit().constData());
        return 2;
    case TStartCommand::Export:
    case TStartCommand::Import:
    case TStartCommand::Find:
    case TStartCommand::Run:
        break;
    }

    // Installed programs keep the database in the user's data directory.
    QString directoryError, programDirectory;
    TConnectionChoice connection;
    // The token that lets a window of the running program come to the front (Wayland).
    const QString activationToken = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    const QStringList requestWords = RequestWords(line);
    std::unique_ptr<TProgramChannel> channel;
    {
        // Nothing of the desktop is needed to find the database, to export or import, or to
        // hand a request to the running program.
        QCoreApplication core(argc, argv);
        // A configured server leaves the program directory to the help file and the backup.
        connection = LoadConnectionSettings();
        programDirectory = PrepareProgramDirectory(QCoreApplication::applicationDirPath(), &directoryError);
        if (!directoryError.isEmpty())
            std::fprintf(stderr, "zettelwerk: %s\n", directoryError.toLocal8Bit().constData());
        if (line.command == TStartCommand::Export || line.command == TStartCommand::Import ||
            line.command == TStartCommand::Find) {
            if (!connection.error.isEmpty()) {
                std::fprintf(stderr, "zettelwerk: %s\n", connection.error.toLocal8Bit().constData());
                return line.command == TStartCommand::Find ? kFindFailedExit : 1;
            }
            return RunTransfer(line, programDirectory, connection);
        }
        // One door per database: the file, or the server's connection text as it stands.
        const QString database = connection.source == TConnectionSource::Embedded
                                     ? programDirectory + kDatabaseFileName
                                     : connection.database;
        channel = std::make_unique<TProgramChannel>(ChannelSocketPath(database));
        if (connection.error.isEmpty() && !requestWords.isEmpty()) {
            switch (channel->Send(requestWords, activationToken, 15000)) {
            case TDelivery::Delivered:
                return 0;
            case TDelivery::NoAnswer:
                std::fprintf(stderr, "zettelwerk: Das laufende Zettelwerk antwortet nicht (%s).\n",
                             channel->SocketPath().toLocal8Bit().constData());
                return 1;
            case TDelivery::NoProgram:
                break; // this start becomes the program
            }
        }
    }

    // Before any thread starts, so that a termination request only reaches the event loop.
    BlockTerminationSignals();
    // This start's token belongs to the window it asks for, not to whatever Qt activates first;
    // programs started from here do not inherit it.
    qunsetenv("XDG_ACTIVATION_TOKEN");
    TZettelwerkApplication app(argc, argv);
    if (!requestWords.isEmpty())
        SetActivationToken(activationToken);
    QApplication::setApplicationName(QStringLiteral("Zettelwerk"));
    QApplication::setWindowIcon(ImageListMain::TrayIcon());
    // The main window is never shown; only its close ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    // Programs started for links must not inherit the blocked termination signals.
    RouteDesktopUrlsThroughShellOpen();
    if (qEnvironmentVariable("ZW_AUTO_ANSWER") == QLatin1String("default"))
        installAutoAnswer();
    if (!connection.error.isEmpty()) {
        MessageDlg(connection.error + QStringLiteral("\nZettelwerk wird beendet ..."), TMsgDlgType::Custom,
                   mbOK);
        return 1;
    }

    // Later starts of this user on the same database reach this program from here on; their
    // requests wait until the start-up is over.
    QString channelError;
    if (!channel->Listen(&channelError) && !channelError.isEmpty())
        std::fprintf(stderr, "zettelwerk: %s: %s\n", channel->SocketPath().toLocal8Bit().constData(),
                     channelError.toLocal8Bit().constData());

    int exitCode = 0;
    // The data module exists from here so that every window is given it; it connects at its
    // place in the order of creation below.
    TDataModuleNotizen dataModule(programDirectory);
    if (connection.source != TConnectionSource::Embedded)
        dataModule.UseDatabase(connection.database, connection.credentials);
    // A database on a server is shared by machines whose autostart is each their own.
    std::optional<TFirstStartRecord> answeredHere;
    if (dataModule.IsServer())
        answeredHere.emplace(programDirectory, connection.database);
    const TFirstStartRecord* here = answeredHere ? &*answeredHere : nullptr;
    // Unsaved text of the note windows, kept in the user's own data directory.
    const TDraftStore drafts(UserDataDirectory(qEnvironmentVariable("XDG_DATA_HOME"), QDir::homePath()),
                             connection.source == TConnectionSource::Embedded
                                 ? programDirectory + kDatabaseFileName
                                 : connection.database);
    TProgramWindows windows;

    bool mainClosed = false;
    QString connectedFile; // the last connection broadcast, for windows made later
    try {
        windows.main = std::make_unique<TfrmMain>(windows);
        TfrmMain* main = windows.main.get();
        // A close during start-up (from a message box's own loop) must not be lost.
        QObject::connect(main, &TfrmMain::Closed, &app, [&mainClosed] {
            mainClosed = true;
            QCoreApplication::quit();
        });
        // Windows asked for on this command line or by later starts open once the start-up is over.
        main->OpenWindows(requestWords);
        QObject::connect(channel.get(), &TProgramChannel::Requested, main,
                         [main](const QStringList& words, const QString& token) {
                             SetActivationToken(token);
                             main->OpenWindows(words);
                         });
        // The session ending or a kill asks the main window to close, as "Beenden" does.
        WatchTerminationSignals([&windows] {
            if (windows.main)
                windows.main->close();
        });
        // The windows are made when first needed, in the order their makers are given here; the
        // connection broadcast has reached a window made later when it is made.
        auto connected = [&connectedFile](auto window) {
            if (!connectedFile.isEmpty())
                window->StatusBar()->MarkConnected(connectedFile);
            return window;
        };
        windows.about.make = [&dataModule] { return std::make_unique<TfrmAboutBox>(&dataModule); };
        // Ctrl+N in the list opens the new-note window, as the tray menu does.
        windows.suchen.make = [&dataModule, connected, main, &drafts] {
            return connected(std::make_unique<TfrmSuchen>(
                dataModule, [main] { main->NotizAnlegenClick(); }, &drafts));
        };
        windows.anlegen.make = [&dataModule, connected, &drafts] {
            return connected(std::make_unique<TfrmAnlegen>(dataModule, &drafts));
        };
        // The administration window's services are the first users of the client library: a
        // missing library ends the start here, before any connection is tried.
        fb::Client();
        windows.verwaltung.make = [&dataModule, connected, &windows] {
            return connected(std::make_unique<TfrmVerwaltung>(
                dataModule, [&windows] { ShowModal(windows.update.Get()); }));
        };
        windows.update.make = [&dataModule] { return std::make_unique<TfrmUpdate>(dataModule); };

        QObject::connect(&dataModule, &TDataModuleNotizen::Connected,
                         [&windows, &connectedFile](const QString& fileName) {
                             connectedFile = fileName;
                             MarkConnected(windows, fileName);
                         });
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
        } else if (dataModule.Schema().state == TSchemaState::Unavailable) {
            // Told once per database and account: the program works on without the trash.
            const TFirstStartRecord told(
                programDirectory, dataModule.DatabaseFileName() + u'|' + dataModule.Database.UserName(),
                QStringLiteral("papierkorb-fehlt-"));
            if (!told.Answered()) {
                MessageDlg(TrashUnavailableText(), TMsgDlgType::Information, mbOK, 0,
                           dataModule.Schema().detail);
                told.MarkAnswered();
            }
        }

        windows.autostart.make = [&dataModule, &windows, here] {
            return std::make_unique<TfrmAutostartDialog>(
                dataModule, [&windows]() -> TfrmVerwaltung& { return *windows.verwaltung.Get(); }, here);
        };
        // A failing count is left to the question's own check, which reports it.
        windows.firstStartAnswered = [&dataModule, here] {
            try {
                return CountSettingsRows(dataModule) > 0 && (!here || here->Answered());
            } catch (const std::exception&) {
                return false;
            }
        };

        // With the box "automatisch nach Updates suchen" ticked, an installed program looks for a
        // newer release once a day, a minute after the start, and says so beside its icon; the
        // package manager installs it. A window that is open defers the check (it commits the
        // shared transaction, which would drop an edit in progress).
        TAutomaticUpdateCheck automaticCheck(dataModule, [main](const QString& title, const QString& text) {
            main->TrayIcon->ShowMessage(title, text);
        });
        QTimer automaticTimer;
        automaticTimer.setSingleShot(true);
        QObject::connect(
            &automaticTimer, &QTimer::timeout, &app, [&automaticTimer, &automaticCheck, &windows] {
                // The program's own windows, a message box or the tray menu (the tray icon's own
                // window of an XEmbed tray is always there and does not count).
                const auto shown = [](auto& window) { return window && window.Get()->isVisible(); };
                if (shown(windows.about) || shown(windows.suchen) || shown(windows.anlegen) ||
                    shown(windows.verwaltung) || shown(windows.update) || shown(windows.autostart) ||
                    QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
                    automaticTimer.start(std::chrono::minutes(10));
                    return;
                }
                automaticCheck.RunIfDue();
                automaticTimer.start(std::chrono::hours(6)); // a program left running sees the next day
            });

        // After a failed connect the loop does not run at all: no timer is served.
        if (!quitRequested && !mainClosed) {
            // ZW_AUTOMATIC_CHECK_DELAY_MS: tests wait less than the minute.
            bool delaySet = false;
            const int delay = qEnvironmentVariableIntValue("ZW_AUTOMATIC_CHECK_DELAY_MS", &delaySet);
            automaticTimer.start(delaySet ? delay : 60000);
            main->StartupComplete(); // opens the windows asked for meanwhile
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
