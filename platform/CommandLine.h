#pragma once
// Command-line text rules shared by the program and the updater.
#include <QString>
#include <QStringList>

// Blanks separate arguments; double quotes group blanks into one argument and are removed.
QStringList SplitCommandLine(const QString& commandLine);

// One argument as written on a command line: in double quotes when it contains a blank.
QString QuoteArgument(const QString& argument);
