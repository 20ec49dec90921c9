#include "store/NoteTransfer.h"

#include "store/NoteStatements.h"
#include "store/StoreInternals.h"

#include <QHash>
#include <QSet>

namespace {

// A read-only snapshot: the export sees the notes of one moment.
std::string SnapshotTpb() {
    return std::string{char(isc_tpb_version3), char(isc_tpb_concurrency), char(isc_tpb_nowait),
                       char(isc_tpb_read)};
}

void Insert(fb::Statement& insert, fb::Transaction& tr, const TNoteRecord& note) {
    insert.SetText(0, note.title.toUtf8());
    insert.SetBlobData(1, note.text.toUtf8());
    if (HasStamp(note)) {
        ISC_TIMESTAMP ts = fb::ToTimestamp(note.stamp);
        ts.timestamp_time += static_cast<ISC_TIME>(note.stampTicks);
        insert.SetTimestamp(2, ts);
    } else {
        insert.SetNull(2);
    }
    insert.Execute(tr);
}

// Title and stamp as the database holds them, for finding equal notes.
QString NoteKey(const QString& title, const ISC_TIMESTAMP* stamp) {
    const QString time =
        stamp ? QString::number(stamp->timestamp_date) + u':' + QString::number(stamp->timestamp_time)
              : QStringLiteral("-");
    return time + u'|' + title;
}

QString NoteKey(const TNoteRecord& note) {
    if (!HasStamp(note))
        return NoteKey(note.title, nullptr);
    ISC_TIMESTAMP ts = fb::ToTimestamp(note.stamp);
    ts.timestamp_time += static_cast<ISC_TIME>(note.stampTicks);
    return NoteKey(note.title, &ts);
}

} // namespace

void ReadAllNotes(TDataModuleNotizen& dataModule, const std::function<void(const TNoteRecord&)>& take) {
    fb::Attachment& att = ConnectedAttachment(dataModule);
    fb::Transaction tr;
    tr.Start(att, SnapshotTpb());
    fb::Statement select(att);
    select.Prepare(tr, kSelectNotesForExport, dataModule.Database.SqlDialect());
    select.Execute(tr);
    const int id = select.FindColumn(QStringLiteral("ID"));
    const int title = select.FindColumn(QStringLiteral("TITEL"));
    const int text = select.FindColumn(QStringLiteral("BEMERKUNG"));
    const int stamp = select.FindColumn(QStringLiteral("ZEITSTEMPEL"));
    while (select.Fetch()) {
        TNoteRecord note;
        note.id = select.AsInt64(id);
        note.title = select.IsNull(title) ? QString() : select.AsString(title);
        if (!select.IsNull(text))
            note.text = QString::fromUtf8(fb::ReadBlob(att, tr, select.AsBlobId(text)));
        if (!select.IsNull(stamp)) {
            const ISC_TIMESTAMP ts = select.AsTimestamp(stamp);
            note.stamp = fb::ToDateTime(ts);
            note.stampTicks = static_cast<int>(ts.timestamp_time % 10);
        }
        take(note);
    }
    select.CloseCursor();
    tr.Commit();
}

void AddNotes(TDataModuleNotizen& dataModule, const std::vector<TNoteRecord>& notes) {
    fb::Attachment& att = ConnectedAttachment(dataModule);
    fb::Transaction tr; // rolled back by its destructor when an insert fails
    tr.Start(att, fb::Transaction::SharedTpb());
    fb::Statement insert(att);
    insert.Prepare(tr, kInsertImportedNote, dataModule.Database.SqlDialect());
    for (const TNoteRecord& note : notes)
        Insert(insert, tr, note);
    tr.Commit();
}

std::vector<bool> AddNewNotes(TDataModuleNotizen& dataModule, const std::vector<TNoteRecord>& notes) {
    fb::Attachment& att = ConnectedAttachment(dataModule);
    fb::Transaction tr; // rolled back by its destructor when an insert fails
    tr.Start(att, fb::Transaction::SharedTpb());
    const int dialect = dataModule.Database.SqlDialect();

    // The notes there are, by title and stamp; texts are read only where those match.
    QMultiHash<QString, qint64> there;
    {
        fb::Statement keys(att);
        keys.Prepare(tr, kSelectNoteKeys, dialect);
        keys.Execute(tr);
        while (keys.Fetch()) {
            const QString title = keys.IsNull(1) ? QString() : keys.AsString(1);
            const ISC_TIMESTAMP ts = keys.IsNull(2) ? ISC_TIMESTAMP{} : keys.AsTimestamp(2);
            there.insert(NoteKey(title, keys.IsNull(2) ? nullptr : &ts), keys.AsInt64(0));
        }
        keys.CloseCursor();
    }
    fb::Statement text(att);
    text.Prepare(tr, kSelectNoteText, dialect);
    const auto textOf = [&](qint64 id) {
        text.SetInt64(0, id);
        text.Execute(tr);
        QString found;
        if (text.Fetch() && !text.IsNull(0))
            found = QString::fromUtf8(fb::ReadBlob(att, tr, text.AsBlobId(0)));
        text.CloseCursor();
        return found;
    };

    fb::Statement insert(att);
    insert.Prepare(tr, kInsertImportedNote, dialect);
    QSet<qint64> matched;
    std::vector<bool> added;
    added.reserve(notes.size());
    for (const TNoteRecord& note : notes) {
        bool present = false;
        for (const qint64 id : there.values(NoteKey(note)))
            if (!matched.contains(id) && textOf(id) == note.text) {
                matched.insert(id);
                present = true;
                break;
            }
        if (!present)
            Insert(insert, tr, note);
        added.push_back(!present);
    }
    tr.Commit();
    return added;
}
