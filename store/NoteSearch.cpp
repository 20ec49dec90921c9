#include "store/NoteSearch.h"

#include "store/SearchRules.h"
#include "store/StoreInternals.h"

std::vector<TFoundNote> FindNotesByStatement(TDataModuleNotizen& dataModule, const QString& term) {
    fb::Attachment& att = ConnectedAttachment(dataModule);
    fb::Transaction tr;
    tr.Start(att, std::string{char(isc_tpb_version3), char(isc_tpb_read), char(isc_tpb_read_committed),
                              char(isc_tpb_rec_version), char(isc_tpb_nowait)});
    fb::Statement s(att);
    s.Prepare(tr,
              QStringLiteral("select ID, TITEL, ZEITSTEMPEL from (") + SearchStatement(term) +
                  QStringLiteral(") order by TITEL, ID"),
              dataModule.Database.SqlDialect());
    s.Execute(tr);
    std::vector<TFoundNote> notes;
    while (s.Fetch()) {
        TFoundNote note;
        note.id = s.AsInt64(0);
        note.title = s.IsNull(1) ? QString() : s.AsString(1);
        if (!s.IsNull(2))
            note.stamp = fb::ToDateTime(s.AsTimestamp(2));
        notes.push_back(note);
    }
    s.CloseCursor();
    tr.Commit();
    return notes;
}
