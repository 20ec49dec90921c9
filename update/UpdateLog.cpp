#include "update/UpdateLog.h"

#include "update/UpdateTypes.h"

#include <QFile>
#include <QLocale>

namespace {

QString Two(int n) {
    return QString::number(n).rightJustified(2, u'0');
}

// The first character of a format that is neither a letter nor a blank.
QChar SeparatorOf(const QString& format, QChar fallback) {
    for (const QChar c : format) {
        if (!c.isLetter() && !c.isSpace() && c != u'\'')
            return c;
    }
    return fallback;
}

} // namespace

QString LogTimeStamp(const QDateTime& when, QChar dateSeparator, QChar timeSeparator) {
    const QDate d = when.date();
    const QTime t = when.time();
    return Two(d.day()) + dateSeparator + Two(d.month()) + dateSeparator +
           QString::number(d.year()).rightJustified(4, u'0') + u' ' + Two(t.hour()) + timeSeparator +
           Two(t.minute()) + timeSeparator + Two(t.second());
}

QString FormatStatusLogLine(const QDateTime& when, int msgNo, const QString& text, int statusCode,
                            int errCode, QChar dateSeparator, QChar timeSeparator) {
    return LogTimeStamp(when, dateSeparator, timeSeparator) + " : [" + QString::number(msgNo) + "] " + text +
           " (Status:" + QString::number(statusCode) + ") (Error:" + QString::number(errCode) + ")";
}

QString FormatUpdaterLogLine(const QDateTime& when, const QString& text, QChar dateSeparator,
                             QChar timeSeparator) {
    return LogTimeStamp(when, dateSeparator, timeSeparator) + " : " + text;
}

QChar SystemDateSeparator() {
    return SeparatorOf(QLocale::system().dateFormat(QLocale::ShortFormat), u'/');
}

QChar SystemTimeSeparator() {
    return SeparatorOf(QLocale::system().timeFormat(QLocale::ShortFormat), u':');
}

void AppendLogLine(const QString& fileName, const QString& line) {
    QFile f(fileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        throw EInOutError(QString("Cannot write %1: %2").arg(fileName, f.errorString()));
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    if (f.write(bytes) != bytes.size())
        throw EInOutError(QString("Cannot write %1: %2").arg(fileName, f.errorString()));
}
