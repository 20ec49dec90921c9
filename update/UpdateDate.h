#pragma once
// Dates and times of the update control file, read with the engine's date and time settings.
#include <QDateTime>
#include <QString>

// The day every unreadable date stands for: 1 January 1980.
QDateTime DefaultUpdateDate();

// date read by dateFormat's order of d, m and y with dateSeparator; time as hours and minutes
// (seconds optional) with timeSeparator, added to the date. An unreadable date gives
// DefaultUpdateDate(), an unreadable time adds nothing. Local time.
QDateTime ParseUpdateDate(const QString& date, const QString& time, const QString& dateFormat = "dd/mm/yyyy",
                          QChar dateSeparator = '/', QChar timeSeparator = ':');

// A file's modification time (local time), or DefaultUpdateDate() when the name is empty or the
// file is missing.
QDateTime LocalFileDate(const QString& fileName);
