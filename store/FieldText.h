#pragma once
// Text of a date-and-time value as the list window shows it: the short date format and the
// long time format of the system locale, separated by a blank; the time is left out when it
// is exactly midnight.
#include <QDateTime>
#include <QLocale>
#include <QString>

QString DateTimeToText(const QDateTime& value, const QLocale& locale = QLocale::system());
