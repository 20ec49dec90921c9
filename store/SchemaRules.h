#pragma once
// Schema versions of the notes database and what each version adds. Version 1 is the schema
// of the first release (TBLNOTIZEN, TBLINTERNA, GEN_TBLNOTIZEN_ID); every later version is one
// step of statements that runs in one transaction. The view ZETTELWERK_SCHEMA carries the
// version: being schema itself, it is created or changed in the step's transaction, so a step
// and its version number are committed together or not at all.
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

constexpr int kSchemaVersion = 3;
inline const QString kSchemaView = QStringLiteral("ZETTELWERK_SCHEMA");

// Days a deleted note stays in the trash.
constexpr int kTrashDays = 30;
// Days a change stays in the journal: a reader that has not looked for longer reads everything
// again.
constexpr int kJournalDays = 7;

// A column of TBLNOTIZEN as the database describes it (rdb$fields).
struct TColumnFacts {
    QString name;
    int fieldType = 0;    // rdb$field_type: 37 varchar, 14 char, 261 blob, 8 integer, ...
    int subType = 0;      // blobs
    int charLength = 0;   // characters of a char or varchar
    QString characterSet; // empty for numbers and binary blobs
};

// The column's type as it is written in a column definition; empty for a type the trash does
// not copy (the step is then not run).
QString ColumnTypeText(const TColumnFacts& column);

// What a step needs to know of the database as it is.
struct TSchemaFacts {
    std::vector<TColumnFacts> notes; // the columns of TBLNOTIZEN
    // Who else may delete notes ("USER ALICE", "ROLE NOTIZEN"): they get the trash of what
    // they delete.
    QStringList deleters;
};

struct TSchemaStep {
    int version = 0; // the version the database has after the step
    QStringList statements;
};

// The steps from version `found` to kSchemaVersion, for a database with these facts; none
// when the database is current or newer. Empty optional when a step needs a column the table
// does not have in a known type.
std::optional<std::vector<TSchemaStep>> SchemaSteps(int found, const TSchemaFacts& facts);

// The statement that sets the version view (part of each step).
QString SchemaVersionStatement(int version);

// The trash: every deleted note, whoever deleted it; entries older than kTrashDays go.
inline const QString kTrashTable = QStringLiteral("TBLPAPIERKORB");
QString PurgeTrashStatement(int days = kTrashDays);

// The change journal (version 3): a trigger writes the id of every note inserted, changed or
// deleted, whoever does it, with a number from a generator and the time, so that a reader can
// take what changed since it last looked. An update that changes the id writes both ids.
inline const QString kJournalTable = QStringLiteral("TBLAENDERUNGEN");
constexpr int kJournalVersion = 3;
// The change journal as a whole: changed notes from TBLAENDERUNGEN, deleted ones from the trash.
inline const QString kJournalView = QStringLiteral("ZETTELWERK_AENDERUNGEN");
QString PurgeJournalStatement(int days = kJournalDays);
// Whether anything is old enough to go: the number of such trash and journal entries (the
// journal's only from the version that has it), so that a connect writes nothing when nothing is.
QString OldEntriesStatement(int version);
