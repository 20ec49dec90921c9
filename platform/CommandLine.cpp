#include "platform/CommandLine.h"

QStringList SplitCommandLine(const QString& commandLine) {
    QStringList args;
    QString current;
    bool inQuotes = false;
    bool hasArg = false;
    for (const QChar c : commandLine) {
        if (c == u'"') {
            inQuotes = !inQuotes;
            hasArg = true;
        } else if ((c == u' ' || c == u'\t') && !inQuotes) {
            if (hasArg)
                args << current;
            current.clear();
            hasArg = false;
        } else {
            current += c;
            hasArg = true;
        }
    }
    if (hasArg)
        args << current;
    return args;
}

QString QuoteArgument(const QString& argument) {
    return argument.contains(u' ') ? u'"' + argument + u'"' : argument;
}
