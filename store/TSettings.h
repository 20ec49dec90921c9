#pragma once
// Operations on the one-row settings table TBLINTERNA, through QueryInternes and the
// shared transaction of the data module. The callers show the database-wait pointer.
#include <QString>

class TDataModuleNotizen;

struct TSettingsRow {
    QString lastUpdateTestDatum; // empty when there is no row or no date
    QString automaticUpdate;     // "1", "0", empty, or whatever the row holds
};

// Number of rows; leaves the query open and the transaction active.
qint64 CountSettingsRows(TDataModuleNotizen& dm);
// Inserts the row that marks the first-start question as answered, and commits.
void MarkFirstStartDone(TDataModuleNotizen& dm);
// Inserts or updates today's date as the last update check, and commits. With more than
// one row there is no statement: fails with "Empty SQL Statement", nothing written.
void RecordUpdateCheckDate(TDataModuleNotizen& dm);
// The date and flag texts of the first row; leaves the query open, nothing committed.
TSettingsRow ReadSettings(TDataModuleNotizen& dm);
// Stores the flag in every row (none: nothing stored), commit-retaining, then commit.
void StoreAutomaticUpdateFlag(TDataModuleNotizen& dm, bool on);
