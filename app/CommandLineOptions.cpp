#include "app/CommandLineOptions.h"

namespace {

TCommandLine Failed(const QString& error) {
    TCommandLine line;
    line.command = TStartCommand::Error;
    line.error = error;
    return line;
}

} // namespace

TCommandLine ParseCommandLine(const QStringList& arguments) {
    TCommandLine line;
    bool exporting = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--help"))
            return TCommandLine{TStartCommand::Help, {}, {}, {}, {}};
        if (a == QLatin1String("--version"))
            return TCommandLine{TStartCommand::Version, {}, {}, {}, {}};
        if (a == QLatin1String("--neue-notiz")) {
            line.windows << TProgramWindow::NewNote;
        } else if (a == QLatin1String("--suchen")) {
            line.windows << TProgramWindow::Search;
        } else if (a == QLatin1String("--export")) {
            if (exporting)
                return Failed(QStringLiteral("--export ist mehrfach angegeben"));
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
                return Failed(
                    QStringLiteral("--export braucht ein Verzeichnis: zettelwerk --export VERZEICHNIS"));
            exporting = true;
            line.exportDirectory = arguments[++i];
        } else if (a == QLatin1String("--import")) {
            line.importFiles = arguments.mid(i + 1);
            if (line.importFiles.isEmpty())
                return Failed(
                    QStringLiteral("--import braucht mindestens eine Datei: zettelwerk --import DATEI..."));
            line.command = TStartCommand::Import;
            break; // every argument after it is a file, whatever its name
        }
    }
    // A --help or --version after --import names a file; one before it was handled above.
    if (exporting && line.command == TStartCommand::Import)
        return Failed(QStringLiteral("--export und --import gehen nicht zusammen"));
    if (exporting)
        line.command = TStartCommand::Export;
    if (line.command != TStartCommand::Run && !line.windows.isEmpty())
        return Failed(
            QStringLiteral("--neue-notiz und --suchen gehen nicht mit --export oder --import zusammen"));
    return line;
}

QString WindowRequestWord(TProgramWindow window) {
    return window == TProgramWindow::NewNote ? QStringLiteral("neue-notiz") : QStringLiteral("suchen");
}

bool WindowFromRequestWord(const QString& word, TProgramWindow* window) {
    for (TProgramWindow w : {TProgramWindow::NewNote, TProgramWindow::Search})
        if (word == WindowRequestWord(w)) {
            *window = w;
            return true;
        }
    return false;
}
