#pragma once
// Command-line text rules shared by the program and the updater.
#include <QString>
#include <QStringList>

// Blanks separate arguments; double quotes group blanks into one argument and are removed.
QStringList SplitCommandLine(const QString& commandLine);

// Like SplitCommandLine, but a program path with blanks written without quotes is joined with
// the following words as long as that names an existing file.
QStringList SplitProgramCommandLine(const QString& commandLine);

// One argument as written on a command line: in double quotes when it contains a blank.
QString QuoteArgument(const QString& argument);
