#pragma once
// Statement texts of the notes table.
#include <QString>

// The listings of the notes list.
inline const QString kSelectAllNotes = QStringLiteral("select * from tblnotizen");
inline const QString kSelectAllNotesByTitle =
    QStringLiteral("select * from tblnotizen order by tblnotizen.titel asc ");

// Insert of a new note: the title goes in as the parameter TitelParam, the text as the blob
// parameter TextParam, the stamp is 'NOW'.
QString BuildInsertStatement();

// Whole-title match (case-insensitive, % and _ act as wildcards) or substring of the text.
QString BuildSearchStatement(const QString& term);

QString BuildDeleteStatement(qint64 id);

// The number of rows a listing's select statement gives (its ordering left out).
QString CountStatement(const QString& selectSql);

// The export: every note in title order, equal titles by id.
inline const QString kSelectNotesForExport =
    QStringLiteral("select id, titel, bemerkung, zeitstempel from tblnotizen order by titel, id");
// The import's look for notes that are there already: title and stamp of all, the text of one.
inline const QString kSelectNoteKeys = QStringLiteral("select id, titel, zeitstempel from tblnotizen");
inline const QString kSelectNoteText = QStringLiteral("select bemerkung from tblnotizen where id = ?");
// The import: title, text (blob) and stamp as parameters 1 to 3, the id from the generator.
inline const QString kInsertImportedNote =
    QStringLiteral("insert into tblnotizen (id, titel, bemerkung, zeitstempel) "
                   "values (gen_id(GEN_TBLNOTIZEN_ID, 1), ?, ?, ?)");
