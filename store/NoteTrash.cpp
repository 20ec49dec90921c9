#include "store/NoteTrash.h"

#include "store/SchemaRules.h"
#include "store/StoreInternals.h"

#include <optional>

namespace {

// An entry is the note's id and the time of its deletion.
const QString kEntry = QStringLiteral(" where ID = ? and GELOESCHT = ?");
const QString kReadTrash = QStringLiteral(
    "select ID, TITEL, ZEITSTEMPEL, GELOESCHT from TBLPAPIERKORB order by GELOESCHT desc, ID desc");
const QString kReadTrashText = QStringLiteral("select first 1 BEMERKUNG from TBLPAPIERKORB") + kEntry;
const QString kEntryThere = QStringLiteral("select count(*) from TBLPAPIERKORB") + kEntry;
const QString kIdTaken = QStringLiteral("select count(*) from TBLNOTIZEN where ID = ?");
const QString kNewNoteId = QStringLiteral("select gen_id(GEN_TBLNOTIZEN_ID, 1) from rdb$database");
const QString kRestore =
    QStringLiteral("insert into TBLNOTIZEN (ID, TITEL, BEMERKUNG, BILD, ZEITSTEMPEL) "
                   "select first 1 ?, TITEL, BEMERKUNG, BILD, ZEITSTEMPEL from TBLPAPIERKORB") +
    kEntry;
const QString kRemoveEntry = QStringLiteral("delete from TBLPAPIERKORB") + kEntry;

constexpr qint64 kTicksPerDay = 864000000; // ISC_TIME counts 1/10000 s

qint64 KeyOf(const ISC_TIMESTAMP& t) {
    return qint64(t.timestamp_date) * kTicksPerDay + qint64(t.timestamp_time);
}
ISC_TIMESTAMP TimestampOf(qint64 key) {
    ISC_TIMESTAMP t;
    t.timestamp_date = ISC_DATE(key / kTicksPerDay);
    t.timestamp_time = ISC_TIME(key % kTicksPerDay);
    return t;
}

QDateTime StampAt(const fb::Statement& s, int c) {
    return s.IsNull(c) ? QDateTime() : fb::ToDateTime(s.AsTimestamp(c));
}

// A statement whose last two parameters name the entry; first, when given, goes before them.
void Prepare(fb::Statement& s, fb::Transaction& tr, int dialect, const QString& sql, const TTrashEntry& entry,
             std::optional<qint64> first = std::nullopt) {
    s.Prepare(tr, sql, dialect);
    int i = 0;
    if (first)
        s.SetInt64(i++, *first);
    s.SetInt64(i++, entry.noteId);
    s.SetTimestamp(i, TimestampOf(entry.deletedKey));
}

} // namespace

std::vector<TTrashEntry> ReadTrash(TDataModuleNotizen& dataModule) {
    fb::Attachment& att = ConnectedAttachment(dataModule);
    const int dialect = dataModule.Database.SqlDialect();
    fb::Transaction tr;
    tr.Start(att, fb::Transaction::SharedTpb());
    {
        fb::Statement purge(att);
        purge.Prepare(tr, PurgeTrashStatement(), dialect);
        purge.Execute(tr);
    }
    fb::Statement s(att);
    s.Prepare(tr, kReadTrash, dialect);
    s.Execute(tr);
    std::vector<TTrashEntry> entries;
    while (s.Fetch()) {
        TTrashEntry e;
        e.noteId = s.IsNull(0) ? 0 : s.AsInt64(0);
        e.title = s.IsNull(1) ? QString() : s.AsString(1);
        e.stamp = StampAt(s, 2);
        e.deleted = StampAt(s, 3);
        e.deletedKey = KeyOf(s.AsTimestamp(3));
        entries.push_back(e);
    }
    s.CloseCursor();
    tr.Commit();
    return entries;
}

QString ReadTrashText(TDataModuleNotizen& dataModule, const TTrashEntry& entry) {
    fb::Attachment& att = ConnectedAttachment(dataModule);
    fb::Transaction tr;
    tr.Start(att, fb::Transaction::ReadOnlyTpb());
    fb::Statement s(att);
    Prepare(s, tr, dataModule.Database.SqlDialect(), kReadTrashText, entry);
    s.Execute(tr);
    QString text;
    if (s.Fetch() && !s.IsNull(0))
        text = QString::fromUtf8(fb::ReadBlob(att, tr, s.AsBlobId(0)));
    s.CloseCursor();
    tr.Commit();
    return text;
}

qint64 RestoreFromTrash(TDataModuleNotizen& dataModule, const TTrashEntry& entry) {
    fb::Attachment& att = ConnectedAttachment(dataModule);
    const int dialect = dataModule.Database.SqlDialect();
    fb::Transaction tr; // rolled back by its destructor when a step fails
    tr.Start(att, fb::Transaction::SharedTpb());
    {
        fb::Statement there(att);
        Prepare(there, tr, dialect, kEntryThere, entry);
        there.Execute(tr);
        if (!there.Fetch() || there.AsInt64(0) == 0)
            throw fb::Error("Die Notiz ist nicht mehr im Papierkorb");
    }
    qint64 id = entry.noteId;
    {
        fb::Statement taken(att);
        taken.Prepare(tr, kIdTaken, dialect);
        taken.SetInt64(0, id);
        taken.Execute(tr);
        if (id <= 0 || (taken.Fetch() && taken.AsInt64(0) > 0)) {
            fb::Statement next(att);
            next.Prepare(tr, kNewNoteId, dialect);
            next.Execute(tr);
            next.Fetch();
            id = next.AsInt64(0);
        }
    }
    fb::Statement restore(att);
    Prepare(restore, tr, dialect, kRestore, entry, id);
    restore.Execute(tr);
    fb::Statement remove(att);
    Prepare(remove, tr, dialect, kRemoveEntry, entry);
    remove.Execute(tr);
    tr.Commit();
    return id;
}
