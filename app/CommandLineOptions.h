#pragma once
// The program's own command-line options and what a start is asked to do. Arguments it does
// not know (Qt's own such as -platform, the help switches /debug and -debug) are left alone.
#include <QList>
#include <QString>
#include <QStringList>

enum class TStartCommand { Run, Help, Version, Export, Import, Find, Error };

// Windows that a start opens in the program already running for this user, or in itself.
enum class TProgramWindow { NewNote, Search };

struct TCommandLine {
    TStartCommand command = TStartCommand::Run;
    QList<TProgramWindow> windows; // --neue-notiz, --suchen, in the order given
    QString exportDirectory;       // --export DIR
    QStringList importFiles;       // --import FILE...: every argument after it
    QString findTerm;              // --finden TERM...: every argument after it, joined by blanks
    // --suchen TERM...: the arguments after it up to the next option, joined by blanks (or
    // --suchen=TERM); null without one: the list only comes to the front.
    QString searchTerm;
    QString error; // Error: what is wrong, for standard error
};

// arguments: without the program's name.
TCommandLine ParseCommandLine(const QStringList& arguments);

// The words the running program is sent for the windows, and back.
QString WindowRequestWord(TProgramWindow window);
bool WindowFromRequestWord(const QString& word, TProgramWindow* window);
// Every request of the line, a search with its term as one word ("suchen=" and the term
// percent-encoded).
QStringList RequestWords(const TCommandLine& line);
bool SearchTermFromRequestWord(const QString& word, QString* term);
