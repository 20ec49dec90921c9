#include "store/FieldText.h"

#include <QRegularExpression>

QString DateTimeToText(const QDateTime& value, const QLocale& locale) {
    if (!value.isValid())
        return {};
    QString text = locale.toString(value.date(), QLocale::ShortFormat);
    if (value.time() != QTime(0, 0)) {
        // the long format without any time-zone part
        QString format = locale.timeFormat(QLocale::LongFormat);
        format.remove(QRegularExpression(R"(\s*\(?t+\)?)"));
        text += ' ' + locale.toString(value.time(), format.trimmed());
    }
    return text;
}
