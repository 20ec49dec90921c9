#include "store/FieldText.h"

#include <QRegularExpression>

QString ShortDateText(const QDate& date, const QLocale& locale) {
    QString format = locale.dateFormat(QLocale::ShortFormat);
    // A two-digit year becomes a four-digit one; "yyyy" stays as it is.
    if (!format.contains(QStringLiteral("yyyy")))
        format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    return locale.toString(date, format);
}

QString DateTimeToText(const QDateTime& value, const QLocale& locale) {
    if (!value.isValid())
        return {};
    QString text = ShortDateText(value.date(), locale);
    if (value.time() != QTime(0, 0)) {
        // the long format without any time-zone part
        QString format = locale.timeFormat(QLocale::LongFormat);
        format.remove(QRegularExpression(R"(\s*\(?t+\)?)"));
        text += ' ' + locale.toString(value.time(), format.trimmed());
    }
    return text;
}
