#include "store/NoteTrash.h"

#include "store/SchemaRules.h"
#include "store/StoreInternals.h"

namespace {

const QString kReadTrash = QStringLiteral(
    "select NR, ID, TITEL, ZEITSTEMPEL, GELOESCHT from TBLPAPIERKORB order by GELOESCHT desc, NR desc");
const QString kReadTrashText = QStringLiteral("select BEMERKUNG from TBLPAPIERKORB where NR = ?");
const QString kTrashNoteId = QStringLiteral(
    "select p.ID, (select count(*) from TBLNOTIZEN n where n.ID = p.ID) from TBLPAPIERKORB p where p.NR = ?");
const QString kNewNoteId = QStringLiteral("select gen_id(GEN_TBLNOTIZEN_ID, 1) from rdb$database");
const QString kRestore = QStringLiteral("insert into TBLNOTIZEN (ID, TITEL, BEMERKUNG, BILD, ZEITSTEMPEL) "
                                        "select ?, TITEL, BEMERKUNG, BILD, ZEITSTEMPEL from TBLPAPIERKORB "
                                        "where NR = ?");
const QString kRemoveEntry = QStringLiteral("delete from TBLPAPIERKORB where NR = ?");

QDateTime StampAt(const fb::Statement& s, int c) {
    return s.IsNull(c) ? QDateTime() : fb::ToDateTime(s.AsTimestamp(c));
}

// One statement with up to two integer parameters, run in tr.
void Run(fb::Attachment& att, fb::Transaction& tr, int dialect, const QString& sql, qint64 a, qint64 b = -1) {
    fb::Statement s(att);
    s.Prepare(tr, sql, dialect);
    s.SetInt64(0, a);
    if (b >= 0)
        s.SetInt64(1, b);
    s.Execute(tr);
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
        e.number = s.AsInt64(0);
        e.noteId = s.IsNull(1) ? 0 : s.AsInt64(1);
        e.title = s.IsNull(2) ? QString() : s.AsString(2);
        e.stamp = StampAt(s, 3);
        e.deleted = StampAt(s, 4);
        entries.push_back(e);
    }
    s.CloseCursor();
    tr.Commit();
    return entries;
}

QString ReadTrashText(TDataModuleNotizen& dataModule, qint64 number) {
    fb::Attachment& att = ConnectedAttachment(dataModule);
    fb::Transaction tr;
    tr.Start(att, fb::Transaction::SharedTpb());
    fb::Statement s(att);
    s.Prepare(tr, kReadTrashText, dataModule.Database.SqlDialect());
    s.SetInt64(0, number);
    s.Execute(tr);
    QString text;
    if (s.Fetch() && !s.IsNull(0))
        text = QString::fromUtf8(fb::ReadBlob(att, tr, s.AsBlobId(0)));
    s.CloseCursor();
    tr.Commit();
    return text;
}

qint64 RestoreFromTrash(TDataModuleNotizen& dataModule, qint64 number) {
    fb::Attachment& att = ConnectedAttachment(dataModule);
    const int dialect = dataModule.Database.SqlDialect();
    fb::Transaction tr; // rolled back by its destructor when a step fails
    tr.Start(att, fb::Transaction::SharedTpb());
    qint64 id = 0;
    bool taken = true;
    {
        fb::Statement s(att);
        s.Prepare(tr, kTrashNoteId, dialect);
        s.SetInt64(0, number);
        s.Execute(tr);
        if (!s.Fetch())
            throw fb::Error("Die Notiz ist nicht mehr im Papierkorb");
        taken = s.IsNull(0) || s.AsInt64(1) > 0;
        id = s.IsNull(0) ? 0 : s.AsInt64(0);
        s.CloseCursor();
    }
    if (taken) {
        fb::Statement s(att);
        s.Prepare(tr, kNewNoteId, dialect);
        s.Execute(tr);
        s.Fetch();
        id = s.AsInt64(0);
        s.CloseCursor();
    }
    Run(att, tr, dialect, kRestore, id, number);
    Run(att, tr, dialect, kRemoveEntry, number);
    tr.Commit();
    return id;
}
