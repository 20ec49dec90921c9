#include "store/SchemaUpgrade.h"

#include "store/fb/FbHandles.h"

namespace {

// Read committed; waits a little for another program that changes the schema at the same
// moment instead of failing at once, but not so long that a start-up seems to hang.
std::string UpgradeTpb() {
    return std::string{char(isc_tpb_version3),
                       char(isc_tpb_write),
                       char(isc_tpb_read_committed),
                       char(isc_tpb_rec_version),
                       char(isc_tpb_wait),
                       char(isc_tpb_lock_timeout),
                       char(1),
                       char(3)};
}

// The upgrade met another program's lock: nothing is wrong with the account.
bool HeldByAnother(const fb::Error& e) {
    for (const long code : e.Codes())
        if (code == isc_lock_conflict || code == isc_deadlock || code == isc_update_conflict ||
            code == isc_lock_timeout)
            return true;
    return false;
}

qint64 Count(fb::Attachment& att, fb::Transaction& tr, int dialect, const QString& sql) {
    fb::Statement s(att);
    s.Prepare(tr, sql, dialect);
    s.Execute(tr);
    const qint64 n = s.Fetch() && !s.IsNull(0) ? s.AsInt64(0) : 0;
    s.CloseCursor();
    return n;
}

bool RelationExists(fb::Attachment& att, fb::Transaction& tr, int dialect, const QString& name) {
    return Count(att, tr, dialect,
                 QStringLiteral("select count(*) from rdb$relations where rdb$relation_name = '%1'")
                     .arg(name)) > 0;
}

int ReadVersion(fb::Attachment& att, fb::Transaction& tr, int dialect) {
    // Both there (the common case at every connect): one statement less.
    const qint64 found = Count(att, tr, dialect,
                               QStringLiteral("select count(*) from rdb$relations where rdb$relation_name in "
                                              "('TBLNOTIZEN', '%1')")
                                   .arg(kSchemaView));
    if (found < 2)
        return RelationExists(att, tr, dialect, QStringLiteral("TBLNOTIZEN")) ? 1 : 0;
    return static_cast<int>(
        Count(att, tr, dialect, QStringLiteral("select max(VERSION) from ") + kSchemaView));
}

// Users and roles besides the table's owner that may delete notes.
QStringList ReadDeleters(fb::Attachment& att, fb::Transaction& tr, int dialect) {
    fb::Statement s(att);
    s.Prepare(tr,
              QStringLiteral("select distinct iif(p.rdb$user_type = 13, 'ROLE ', 'USER ') || trim(p.rdb$user)"
                             " from rdb$user_privileges p join rdb$relations r"
                             " on r.rdb$relation_name = p.rdb$relation_name"
                             " where p.rdb$relation_name = 'TBLNOTIZEN' and p.rdb$privilege = 'D'"
                             " and p.rdb$user_type in (8, 13) and p.rdb$user <> r.rdb$owner_name"),
              dialect);
    s.Execute(tr);
    QStringList deleters;
    while (s.Fetch())
        deleters << s.AsString(0);
    s.CloseCursor();
    return deleters;
}

std::vector<TColumnFacts> ReadNotesColumns(fb::Attachment& att, fb::Transaction& tr, int dialect) {
    fb::Statement s(att);
    s.Prepare(
        tr,
        QStringLiteral("select trim(rf.rdb$field_name), f.rdb$field_type, coalesce(f.rdb$field_sub_type, 0),"
                       " coalesce(f.rdb$character_length, 0), trim(cs.rdb$character_set_name)"
                       " from rdb$relation_fields rf"
                       " join rdb$fields f on f.rdb$field_name = rf.rdb$field_source"
                       " left join rdb$character_sets cs on cs.rdb$character_set_id = f.rdb$character_set_id"
                       " where rf.rdb$relation_name = 'TBLNOTIZEN'"),
        dialect);
    s.Execute(tr);
    std::vector<TColumnFacts> columns;
    while (s.Fetch()) {
        TColumnFacts c;
        c.name = s.AsString(0);
        c.fieldType = static_cast<int>(s.AsInt64(1));
        c.subType = static_cast<int>(s.AsInt64(2));
        c.charLength = static_cast<int>(s.AsInt64(3));
        c.characterSet = s.IsNull(4) ? QString() : s.AsString(4);
        columns.push_back(c);
    }
    s.CloseCursor();
    return columns;
}

} // namespace

int ReadSchemaVersion(fb::Attachment& attachment, int dialect) {
    fb::Transaction tr;
    tr.Start(attachment, fb::Transaction::ReadOnlyTpb());
    const int version = ReadVersion(attachment, tr, dialect);
    tr.Commit();
    return version;
}

TSchemaReport UpgradeSchema(fb::Attachment& attachment, int dialect) {
    TSchemaReport report;
    report.found = report.version = ReadSchemaVersion(attachment, dialect);
    if (report.found == 0) {
        report.state = TSchemaState::NotNotes;
        return report;
    }
    if (report.found > kSchemaVersion) {
        report.state = TSchemaState::Newer;
        return report;
    }
    if (report.found == kSchemaVersion)
        return report;
    try {
        fb::Transaction tr;
        tr.Start(attachment, UpgradeTpb());
        const TSchemaFacts facts{ReadNotesColumns(attachment, tr, dialect),
                                 ReadDeleters(attachment, tr, dialect)};
        const auto steps = SchemaSteps(report.found, facts);
        if (!steps)
            throw fb::Error("Die Tabelle TBLNOTIZEN hat Spalten, die der Papierkorb nicht kennt");
        for (const TSchemaStep& step : *steps)
            for (const QString& sql : step.statements) {
                fb::Statement s(attachment);
                s.Prepare(tr, sql, dialect);
                s.Execute(tr);
            }
        tr.Commit(); // a failure rolls the whole upgrade back
        report.state = TSchemaState::Upgraded;
        report.version = kSchemaVersion;
    } catch (const fb::ConnectionError&) {
        throw;
    } catch (const fb::Error& e) {
        // Another program may have upgraded meanwhile; otherwise this account works without.
        report.version = ReadSchemaVersion(attachment, dialect);
        if (report.version >= kSchemaVersion)
            return report;
        report.state = HeldByAnother(e) ? TSchemaState::Busy : TSchemaState::Unavailable;
        report.detail = QString::fromUtf8(e.what());
    }
    return report;
}
