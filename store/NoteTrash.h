#pragma once
// The trash: notes deleted by anyone, kept by the database for a while. Reading and restoring
// run in transactions of their own, so the list and an edit in it stay as they are.
#include <QDateTime>
#include <QString>
#include <vector>

class TDataModuleNotizen;

struct TTrashEntry {
    qint64 noteId = 0;
    qint64 deletedKey = 0; // the time of deletion as stored, to find the entry again
    QString title;
    QDateTime stamp; // the note's creation stamp
    QDateTime deleted;
};

// The entries, the latest deletion first; entries older than the retention go first.
std::vector<TTrashEntry> ReadTrash(TDataModuleNotizen& dataModule);
// The text of an entry (empty when it is gone).
QString ReadTrashText(TDataModuleNotizen& dataModule, const TTrashEntry& entry);
// Puts the note back with its title, text, picture and stamp, under its old id unless another
// note has it now, and takes it out of the trash; committed. Returns the note's id.
qint64 RestoreFromTrash(TDataModuleNotizen& dataModule, const TTrashEntry& entry);
