#pragma once
// Small rules of the note windows; no window or database needed.
#include <QDateTime>
#include <QString>

// Capitals for a to z only; umlauts, ß, digits and signs stay as they are.
QString UpperAtoZ(const QString& text);

// Plain subtractions, not clamped.
int TitleColumnWidth(int gridOuterWidth, int markerColumnWidth);
int SearchFieldWidth(int searchPanelWidth);

// The memo keeps paragraphs as U+2029 (and U+2028 for soft breaks); the stored text uses CR LF.
QString MemoTextToStored(const QString& rawMemoText);
QString StoredTextToMemo(const QString& stored);

// The status text of a window that shows a kept draft again.
QString DraftRestoredText(const QDateTime& written);

// Why the trash button shows nothing (the database could not be given a trash).
QString TrashUnavailableText();
