#include "update/UpdateDate.h"

#include <QFileInfo>
#include <QStringList>

namespace {

bool ToNumber(const QString& s, int& v) {
    bool ok = false;
    const QString t = s.trimmed();
    if (t.isEmpty() || t.startsWith('+') || t.startsWith('-'))
        return false;
    v = t.toInt(&ok, 10);
    return ok;
}

std::optional<QDate> ReadDate(const QString& text, const QString& format, QChar separator) {
    // Order of day, month and year as in the format ("dd/mm/yyyy": day first).
    const QString f = format.toLower();
    qsizetype pd = f.indexOf('d'), pm = f.indexOf('m'), py = f.indexOf('y');
    if (pd < 0 || pm < 0 || py < 0)
        pd = 0, pm = 1, py = 2;
    const QStringList parts = text.trimmed().split(separator);
    if (parts.size() != 3 && parts.size() != 2)
        return std::nullopt;
    int n[3];
    for (int i = 0; i < parts.size(); ++i)
        if (!ToNumber(parts[i], n[i]))
            return std::nullopt;
    int day, month, year;
    if (parts.size() == 2) {
        // Day and month only: the current year.
        const bool dayFirst = pd < pm;
        day = dayFirst ? n[0] : n[1];
        month = dayFirst ? n[1] : n[0];
        year = QDate::currentDate().year();
    } else {
        // Rank of each field in the format gives its position in the text.
        auto rank = [&](qsizetype p) { return int(p > pd) + int(p > pm) + int(p > py); };
        day = n[rank(pd)];
        month = n[rank(pm)];
        year = n[rank(py)];
        if (parts[rank(py)].trimmed().size() <= 2)
            year += QDate::currentDate().year() / 100 * 100;
    }
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<QTime> ReadTime(const QString& text, QChar separator) {
    const QStringList parts = text.trimmed().split(separator);
    if (parts.isEmpty() || parts.size() > 3)
        return std::nullopt;
    int n[3] = {0, 0, 0};
    for (int i = 0; i < parts.size(); ++i)
        if (!ToNumber(parts[i], n[i]))
            return std::nullopt;
    const QTime time(n[0], n[1], n[2]);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

} // namespace

QDateTime DefaultUpdateDate() {
    return QDateTime(QDate(1980, 1, 1), QTime(0, 0));
}

QDateTime ParseUpdateDate(const QString& date, const QString& time, const QString& dateFormat,
                          QChar dateSeparator, QChar timeSeparator) {
    const std::optional<QDate> d = ReadDate(date, dateFormat, dateSeparator);
    QDateTime result = d ? QDateTime(*d, QTime(0, 0)) : DefaultUpdateDate();
    if (const std::optional<QTime> t = ReadTime(time, timeSeparator))
        result = result.addSecs(QTime(0, 0).secsTo(*t));
    return result;
}

QDateTime LocalFileDate(const QString& fileName) {
    if (fileName.isEmpty())
        return DefaultUpdateDate();
    const QFileInfo info(fileName);
    if (!info.exists())
        return DefaultUpdateDate();
    // Whole seconds, as the file system's time stamps are compared with minutes of the file.
    QDateTime t = info.lastModified();
    return t.addMSecs(-t.time().msec());
}
