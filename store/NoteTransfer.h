#pragma once
// All notes read for an export, and notes added by an import. Both use transactions of their
// own on the data module's connection, so the list result set and the shared transaction of a
// program in the same process are left alone, and other programs on the file go on working.
#include <QDateTime>
#include <QString>
#include <functional>
#include <vector>

class TDataModuleNotizen;

struct TNoteRecord {
    qint64 id = 0;
    QString title;
    QString text;    // as stored: CR LF line breaks
    QDateTime stamp; // local time; invalid when the row has none
};

// Every note in title order (equal titles by id), from one snapshot of the database, so an
// export is consistent even while another program saves. Each note is handed over as it is
// read: the texts are never held all at once. Connects when needed.
void ReadAllNotes(TDataModuleNotizen& dataModule, const std::function<void(const TNoteRecord&)>& take);

// Inserts the notes (title, text, stamp; ids from the generator) in one transaction and
// commits; when any insert fails, nothing is added. Existing notes are never touched.
void AddNotes(TDataModuleNotizen& dataModule, const std::vector<TNoteRecord>& notes);
