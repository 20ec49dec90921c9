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
