#pragma once
// Dates and times as the windows show them and the settings store them.
#include <QDateTime>
#include <QLocale>
#include <QString>

// A date in the locale's short date format, with the year written in full (08.12.2026).
QString ShortDateText(const QDate& date, const QLocale& locale = QLocale::system());

// A date-and-time value: the short date (see above) and the long time format of the locale,
// separated by a blank; the time is left out when it is exactly midnight.
QString DateTimeToText(const QDateTime& value, const QLocale& locale = QLocale::system());
