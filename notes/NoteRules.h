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

// Panel 1 of the list after a listing: "N Notizen" (the full list) or "N Notizen gefunden" /
// "Keine Notiz gefunden" (a search); numbers grouped as in German.
QString ListedCountText(int count, bool search);

// The title column: the grid's width less the marker column and 4, but never wider than the
// grid's inside (viewportWidth) leaves beside the marker, so that a vertical scroll bar takes
// no room from it and no horizontal one appears.
int TitleColumnWidth(int gridOuterWidth, int markerColumnWidth, int viewportWidth);
