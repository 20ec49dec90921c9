#include "store/SchemaRules.h"

namespace {

const TColumnFacts* Find(const std::vector<TColumnFacts>& columns, const QString& name) {
    for (const TColumnFacts& c : columns)
        if (c.name.compare(name, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

QString CharacterSet(const TColumnFacts& column) {
    return column.characterSet.isEmpty() ? QString()
                                         : QStringLiteral(" CHARACTER SET ") + column.characterSet;
}

// Version 2: the trash. The trigger copies every deleted note, so that a delete by another
// program, an older release or isql-fb lands there too; the copy keeps the columns' own types,
// so a note always fits and comes back byte for byte.
std::optional<TSchemaStep> TrashStep(const TSchemaFacts& facts) {
    const std::vector<TColumnFacts>& notes = facts.notes;
    QStringList columns;
    for (const char* name : {"TITEL", "BEMERKUNG", "BILD", "ZEITSTEMPEL"}) {
        const TColumnFacts* c = Find(notes, QLatin1String(name));
        const QString type = c ? ColumnTypeText(*c) : QString();
        if (type.isEmpty())
            return std::nullopt;
        columns << QStringLiteral("  %1 %2,").arg(QLatin1String(name), type);
    }
    if (!Find(notes, QStringLiteral("ID")))
        return std::nullopt;
    TSchemaStep step;
    step.version = 2;
    // No key, no index and no generator: each would cost every delete another page written at
    // its commit. An entry is found by the note's id and the time of its deletion.
    step.statements
        // NR: the entry's number in the change journal (from version 3 on).
        << QStringLiteral("CREATE TABLE TBLPAPIERKORB (\n"
                          "  NR BIGINT,\n"
                          "  ID BIGINT,\n") +
               columns.join(u'\n') + QStringLiteral("\n  GELOESCHT TIMESTAMP NOT NULL\n)")
        << QStringLiteral(
               "CREATE TRIGGER TBLNOTIZEN_PAPIERKORB FOR TBLNOTIZEN ACTIVE AFTER DELETE POSITION 0 AS\n"
               "BEGIN\n"
               "  INSERT INTO TBLPAPIERKORB (ID, TITEL, BEMERKUNG, BILD, ZEITSTEMPEL, GELOESCHT)\n"
               "  VALUES (OLD.ID, OLD.TITEL, OLD.BEMERKUNG, OLD.BILD, OLD.ZEITSTEMPEL, CURRENT_TIMESTAMP);\n"
               "END")
        // Whoever deletes, the trigger may fill the trash; whoever may delete notes may see and
        // restore what is there.
        << QStringLiteral("GRANT INSERT ON TBLPAPIERKORB TO TRIGGER TBLNOTIZEN_PAPIERKORB");
    for (const QString& grantee : facts.deleters)
        step.statements << QStringLiteral("GRANT SELECT, DELETE ON TBLPAPIERKORB TO ") + grantee;
    step.statements
        << SchemaVersionStatement(step.version)
        << QStringLiteral("GRANT SELECT ON %1 TO PUBLIC").arg(kSchemaView); // every account reads it
    return step;
}

// Version 3: the change journal. A new or changed note is written to TBLAENDERUNGEN, a deleted
// one is known by its trash entry, which takes its number from the journal's generator: a delete
// writes no journal row of its own (each row and index costs every change another page written
// at its commit). The view ZETTELWERK_AENDERUNGEN is the journal as a whole; every account may
// read it (numbers and ids, no content), who may delete notes may empty it of old entries.
TSchemaStep JournalStep(const TSchemaFacts& facts) {
    TSchemaStep step;
    step.version = kJournalVersion;
    step.statements
        << QStringLiteral("CREATE GENERATOR GEN_TBLAENDERUNGEN_NR")
        << QStringLiteral("CREATE TABLE TBLAENDERUNGEN (\n"
                          "  NR BIGINT NOT NULL,\n"
                          "  ID BIGINT,\n"
                          "  GEAENDERT TIMESTAMP NOT NULL,\n"
                          "  CONSTRAINT PK_TBLAENDERUNGEN PRIMARY KEY (NR) USING DESCENDING INDEX "
                          "PK_TBLAENDERUNGEN\n)")
        << QStringLiteral(
               "CREATE TRIGGER TBLNOTIZEN_AENDERUNGEN FOR TBLNOTIZEN ACTIVE AFTER INSERT OR UPDATE "
               "POSITION 1 AS\n"
               "BEGIN\n"
               "  IF (UPDATING AND NEW.ID IS DISTINCT FROM OLD.ID) THEN\n"
               "    INSERT INTO TBLAENDERUNGEN (NR, ID, GEAENDERT)\n"
               "    VALUES (GEN_ID(GEN_TBLAENDERUNGEN_NR, 1), OLD.ID, CURRENT_TIMESTAMP);\n"
               "  INSERT INTO TBLAENDERUNGEN (NR, ID, GEAENDERT)\n"
               "  VALUES (GEN_ID(GEN_TBLAENDERUNGEN_NR, 1), NEW.ID, CURRENT_TIMESTAMP);\n"
               "END")
        << QStringLiteral(
               "CREATE OR ALTER TRIGGER TBLNOTIZEN_PAPIERKORB FOR TBLNOTIZEN ACTIVE AFTER DELETE "
               "POSITION 0 AS\n"
               "BEGIN\n"
               "  INSERT INTO TBLPAPIERKORB (NR, ID, TITEL, BEMERKUNG, BILD, ZEITSTEMPEL, GELOESCHT)\n"
               "  VALUES (GEN_ID(GEN_TBLAENDERUNGEN_NR, 1), OLD.ID, OLD.TITEL, OLD.BEMERKUNG, OLD.BILD,\n"
               "          OLD.ZEITSTEMPEL, CURRENT_TIMESTAMP);\n"
               "END")
        << QStringLiteral("CREATE VIEW %1 (NR, ID) AS\n"
                          "  SELECT NR, ID FROM TBLAENDERUNGEN\n"
                          "  UNION ALL\n"
                          "  SELECT NR, ID FROM TBLPAPIERKORB WHERE NR IS NOT NULL")
               .arg(kJournalView)
        << QStringLiteral("GRANT INSERT ON TBLAENDERUNGEN TO TRIGGER TBLNOTIZEN_AENDERUNGEN")
        << QStringLiteral("GRANT USAGE ON GENERATOR GEN_TBLAENDERUNGEN_NR TO TRIGGER TBLNOTIZEN_AENDERUNGEN")
        << QStringLiteral("GRANT USAGE ON GENERATOR GEN_TBLAENDERUNGEN_NR TO TRIGGER TBLNOTIZEN_PAPIERKORB")
        << QStringLiteral("GRANT SELECT ON TBLAENDERUNGEN TO PUBLIC")
        << QStringLiteral("GRANT SELECT ON %1 TO PUBLIC").arg(kJournalView);
    for (const QString& grantee : facts.deleters)
        step.statements << QStringLiteral("GRANT DELETE ON TBLAENDERUNGEN TO ") + grantee;
    step.statements << SchemaVersionStatement(step.version)
                    << QStringLiteral("GRANT SELECT ON %1 TO PUBLIC").arg(kSchemaView);
    return step;
}

} // namespace

QString ColumnTypeText(const TColumnFacts& column) {
    switch (column.fieldType) {
    case 7:
        return QStringLiteral("SMALLINT");
    case 8:
        return QStringLiteral("INTEGER");
    case 16:
        return QStringLiteral("BIGINT");
    case 12:
        return QStringLiteral("DATE");
    case 13:
        return QStringLiteral("TIME");
    case 35:
        return QStringLiteral("TIMESTAMP");
    case 14:
    case 37:
        if (column.charLength <= 0)
            return {};
        return QStringLiteral("%1(%2)")
                   .arg(column.fieldType == 14 ? "CHAR" : "VARCHAR")
                   .arg(column.charLength) +
               CharacterSet(column);
    case 261:
        return QStringLiteral("BLOB SUB_TYPE %1").arg(column.subType) +
               (column.subType == 1 ? CharacterSet(column) : QString());
    default:
        return {};
    }
}

QString SchemaVersionStatement(int version) {
    return QStringLiteral("CREATE OR ALTER VIEW %1 (VERSION) AS SELECT %2 FROM RDB$DATABASE")
        .arg(kSchemaView)
        .arg(version);
}

std::optional<std::vector<TSchemaStep>> SchemaSteps(int found, const TSchemaFacts& facts) {
    std::vector<TSchemaStep> steps;
    if (found < 2) {
        const std::optional<TSchemaStep> trash = TrashStep(facts);
        if (!trash)
            return std::nullopt;
        steps.push_back(*trash);
    }
    if (found < kJournalVersion)
        steps.push_back(JournalStep(facts));
    return steps;
}

QString PurgeTrashStatement(int days) {
    return QStringLiteral("delete from TBLPAPIERKORB where GELOESCHT < dateadd(%1 day to current_timestamp)")
        .arg(-days);
}

QString PurgeJournalStatement(int days) {
    return QStringLiteral("delete from TBLAENDERUNGEN where GEAENDERT < dateadd(%1 day to current_timestamp)")
        .arg(-days);
}

QString OldEntriesStatement(int version) {
    const auto old = [](const QString& purge) {
        return QStringLiteral("(select count(*) ") + purge.mid(purge.indexOf(QStringLiteral("from "))) + u')';
    };
    QString sql = QStringLiteral("select ") + old(PurgeTrashStatement());
    if (version >= kJournalVersion)
        sql += QStringLiteral(" + ") + old(PurgeJournalStatement());
    return sql + QStringLiteral(" from rdb$database");
}
