#include "store/NoteTransfer.h"

#include "store/NoteStatements.h"
#include "store/StoreInternals.h"

namespace {

// A read-only snapshot: the export sees the notes of one moment.
std::string SnapshotTpb() {
    return std::string{char(isc_tpb_version3), char(isc_tpb_concurrency), char(isc_tpb_nowait),
                       char(isc_tpb_read)};
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
        if (!select.IsNull(stamp))
            note.stamp = fb::ToDateTime(select.AsTimestamp(stamp));
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
    for (const TNoteRecord& note : notes) {
        insert.SetText(0, note.title.toUtf8());
        insert.SetBlobData(1, note.text.toUtf8());
        if (note.stamp.isValid())
            insert.SetTimestamp(2, fb::ToTimestamp(note.stamp));
        else
            insert.SetNull(2);
        insert.Execute(tr);
    }
    tr.Commit();
}
