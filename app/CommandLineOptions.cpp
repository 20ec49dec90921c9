#include "app/CommandLineOptions.h"

namespace {

const QLatin1String kSearchWordPrefix("suchen=");
// A request line holds at most 4096 bytes.
constexpr qsizetype kMaxSearchRequestBytes = 3000;

// What follows --suchen: a term, up to the next option (Qt's, the help switches).
bool IsTermWord(const QString& argument) {
    return !argument.startsWith(u'-') && argument != QLatin1String("/debug");
}

TCommandLine Only(TStartCommand command) {
    TCommandLine line;
    line.command = command;
    return line;
}

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
            return Only(TStartCommand::Help);
        if (a == QLatin1String("--version"))
            return Only(TStartCommand::Version);
        if (a == QLatin1String("--neue-notiz")) {
            line.windows << TProgramWindow::NewNote;
        } else if (a == QLatin1String("--suchen") || a.startsWith(QLatin1String("--suchen="))) {
            line.windows << TProgramWindow::Search;
            QStringList words;
            if (a.size() > 8)
                words << a.mid(9);
            while (i + 1 < arguments.size() && IsTermWord(arguments[i + 1]))
                words << arguments[++i];
            line.searchTerm = words.isEmpty() ? QString() : words.join(u' ');
            if (!words.isEmpty() && line.searchTerm.isNull())
                line.searchTerm = QLatin1String(""); // an empty term: every note
            if (RequestWords(line).join(u' ').toUtf8().size() > kMaxSearchRequestBytes)
                return Failed(QStringLiteral("Der Suchbegriff nach --suchen ist zu lang"));
        } else if (a == QLatin1String("--finden")) {
            if (i + 1 >= arguments.size())
                return Failed(
                    QStringLiteral("--finden braucht einen Suchbegriff: zettelwerk --finden BEGRIFF"));
            line.findTerm = arguments.mid(i + 1).join(u' ');
            line.command = TStartCommand::Find;
            break; // every argument after it belongs to the term
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
    if (exporting && line.command == TStartCommand::Find)
        return Failed(QStringLiteral("--export und --finden gehen nicht zusammen"));
    if (line.command == TStartCommand::Find && !line.windows.isEmpty())
        return Failed(QStringLiteral("--neue-notiz und --suchen gehen nicht mit --finden zusammen"));
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

QStringList RequestWords(const TCommandLine& line) {
    QStringList words;
    for (TProgramWindow w : line.windows)
        if (w == TProgramWindow::Search && !line.searchTerm.isNull())
            words << kSearchWordPrefix + QString::fromLatin1(line.searchTerm.toUtf8().toPercentEncoding());
        else
            words << WindowRequestWord(w);
    return words;
}

bool SearchTermFromRequestWord(const QString& word, QString* term) {
    if (!word.startsWith(kSearchWordPrefix))
        return false;
    *term = QString::fromUtf8(QByteArray::fromPercentEncoding(word.mid(kSearchWordPrefix.size()).toLatin1()));
    return true;
}
