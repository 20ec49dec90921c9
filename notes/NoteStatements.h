#pragma once
// Statement texts and small rules of the note windows; no window or database needed.
#include <QString>

// The listings of the notes list.
inline const QString kSelectAllNotes = QStringLiteral("select * from tblnotizen");
inline const QString kSelectAllNotesByTitle =
    QStringLiteral("select * from tblnotizen order by tblnotizen.titel asc ");

// Apostrophes written twice, for a text placed between apostrophes.
QString DoubleApostrophes(const QString& text);

// Insert of a new note; the text goes in as the blob parameter TextParam, the stamp is 'NOW'.
QString BuildInsertStatement(const QString& title);

// Whole-title match (case-insensitive, % and _ act as wildcards) or substring of the text.
QString BuildSearchStatement(const QString& term);

QString BuildDeleteStatement(const QString& idText);
QString BuildDeleteStatement(qint64 id);

// Capitals for a to z only; umlauts, ß, digits and signs stay as they are.
QString UpperAtoZ(const QString& text);

// Plain subtractions, not clamped.
int TitleColumnWidth(int gridOuterWidth, int markerColumnWidth);
int SearchFieldWidth(int searchPanelWidth);

// The memo keeps paragraphs as U+2029 (and U+2028 for soft breaks); the stored text uses CR LF.
QString MemoTextToStored(const QString& rawMemoText);
QString StoredTextToMemo(const QString& stored);
