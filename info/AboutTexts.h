#pragma once
// Texts of the about window built from version and database facts.
#include <QString>
#include <QtGlobal>

// The server's version text from its first "Fire" on (letter case counts); the whole text without one.
QString ServerVersionFromFire(const QString& serverVersion);
// Server version + ": " + " (" + client file version + ")": two blanks before the parenthesis.
QString DbVersionText(const QString& serverVersion, const QString& clientFileVersion);
QString OdsText(int major, int minor); // "ODS-Version: 12.0"
// "DB-Grösse: " + the byte size of pages x page size, multiplied in 64 bits.
QString DbSizeText(qint64 allocatedPages, qint64 pageSize);
QString DbSizeText(qint64 allocatedPages, qint64 pageSize, QChar decimalSeparator);
