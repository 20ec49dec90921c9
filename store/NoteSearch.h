#pragma once
// The notes a term finds, read with the search statement (SearchRules.h) where no index is held:
// the command line's search. A read-only transaction of its own on the data module's connection.
#include <QDateTime>
#include <QString>
#include <vector>

class TDataModuleNotizen;

struct TFoundNote {
    qint64 id = 0;
    QString title;
    QDateTime stamp; // invalid when the note has none
};

// In title order (as the list sorts it), equal titles by id. Connects when needed.
std::vector<TFoundNote> FindNotesByStatement(TDataModuleNotizen& dataModule, const QString& term);
