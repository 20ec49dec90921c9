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
    QString text; // as stored: CR LF line breaks
    // Local time; a null date when the row has none. A time that the change to summer time
    // skips makes an invalid QDateTime that still carries the date and time as stored.
    QDateTime stamp;
    int stampTicks = 0; // the 1/10000 s beyond the stamp's milliseconds (0 to 9)
};

// Whether the note has a stamp (see TNoteRecord::stamp).
inline bool HasStamp(const TNoteRecord& note) {
    return note.stamp.date().isValid();
}

// Every note in title order (equal titles by id), from one snapshot of the database, so an
// export is consistent even while another program saves. Each note is handed over as it is
// read: the texts are never held all at once. Connects when needed.
void ReadAllNotes(TDataModuleNotizen& dataModule, const std::function<void(const TNoteRecord&)>& take);

// Inserts the notes (title, text, stamp; ids from the generator) in one transaction and
// commits; when any insert fails, nothing is added. Existing notes are never touched.
void AddNotes(TDataModuleNotizen& dataModule, const std::vector<TNoteRecord>& notes);

// The same for the notes that the database does not hold yet: a note equal to one that was
// there before (title, text and stamp to 1/10000 s, letter case counts) is left out. Each note
// there stands for one: of two equal notes given, one is added when one was there. Returns
// for each note whether it was added.
std::vector<bool> AddNewNotes(TDataModuleNotizen& dataModule, const std::vector<TNoteRecord>& notes);
