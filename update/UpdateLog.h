#pragma once
// The update log "WUPDATE.LOG": line formats shared by the engine and the updater.
#include <QChar>
#include <QDateTime>
#include <QString>

// "dd/mm/yyyy hh:nn:ss" with the given date and time separators.
QString LogTimeStamp(const QDateTime& when, QChar dateSeparator, QChar timeSeparator);

// A status line: time stamp, " : [", number, "] ", text, " (Status:", status, ") (Error:", error, ")".
QString FormatStatusLogLine(const QDateTime& when, int msgNo, const QString& text, int statusCode,
                            int errCode, QChar dateSeparator, QChar timeSeparator);

// An updater line: time stamp, " : ", text.
QString FormatUpdaterLogLine(const QDateTime& when, const QString& text, QChar dateSeparator,
                             QChar timeSeparator);

// The separators of the user's short date and time formats ("/" and ":" when none is found).
QChar SystemDateSeparator();
QChar SystemTimeSeparator();

// Appends one line to the file, creating it when needed. Throws EInOutError when it cannot.
void AppendLogLine(const QString& fileName, const QString& line);
