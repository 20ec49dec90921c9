#include "platform/CommandLine.h"

#include <QFileInfo>

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

QStringList SplitProgramCommandLine(const QString& commandLine) {
    const QStringList args = SplitCommandLine(commandLine);
    if (args.size() < 2 || QFileInfo(args[0]).isFile())
        return args;
    QString candidate = args[0];
    for (qsizetype k = 1; k < args.size(); ++k) {
        candidate += u' ' + args[k];
        if (QFileInfo(candidate).isFile())
            return QStringList{candidate} + args.mid(k + 1);
    }
    return args;
}
