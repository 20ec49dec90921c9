// The list result set: a forward-fetching buffered cursor over the notes with one edit
// buffer. Per row only the id, the title, the blob ids and the time stamp are held; the text
// blob is read for the current row only.
#include "store/BackgroundCount.h"
#include "store/FieldText.h"
#include "store/NoteStatements.h"
#include "store/SqlParams.h"
#include "store/StoreInternals.h"

#include <QtDebug>
#include <unordered_map>

namespace {

constexpr int kFirstFetch = 100; // rows fetched when the list opens
constexpr int kStepFetch = 100;  // rows fetched when moving past the rows held

const char* const kDataSetName = "DataSetNotizliste";

const QStringList kModifySql = {"update TBLNOTIZEN",
                                "set",
                                "  ID = :ID,",
                                "  TITEL = :TITEL,",
                                "  BEMERKUNG = :BEMERKUNG,",
                                "  BILD = :BILD,",
                                "  ZEITSTEMPEL = :ZEITSTEMPEL",
                                "where",
                                "  ID = :OLD_ID"};
const QStringList kRefreshSql = {"Select ",          "  ID,",   "  TITEL,",
                                 "  BEMERKUNG,",     "  BILD,", "  ZEITSTEMPEL",
                                 "from TBLNOTIZEN ", "where",   "  ID = :ID"};
const QStringList kInsertSql = {"insert into TBLNOTIZEN", "  (ID, TITEL, BEMERKUNG, BILD, ZEITSTEMPEL)",
                                "values", "  (:ID, :TITEL, :BEMERKUNG, :BILD, :ZEITSTEMPEL)"};

// The row as stored now, read before an edit is saved; the lock keeps another program from
// changing it between this read and the update.
const QStringList kStoredRowSql = {"select ID, TITEL, BEMERKUNG, BILD, ZEITSTEMPEL from TBLNOTIZEN",
                                   "where ID = :OLD_ID with lock"};

const char* const kChangedMeanwhile = "Die Notiz wurde inzwischen von einem anderen Programm geändert.\n"
                                      "Ihre Änderung wurde nicht gespeichert und steht noch in den Feldern.\n"
                                      "„Notizbearbeitung abbrechen“ zeigt die gespeicherte Notiz.";
const char* const kDeletedMeanwhile = "Die Notiz wurde inzwischen von einem anderen Programm gelöscht.\n"
                                      "Ihre Änderung wurde nicht gespeichert und steht noch in den Feldern.";

// Whether the notes table has a column with a default or a computed column, and the
// declared length of TITEL, from the database's own description of the table.
const char* const kMetaSql =
    "select"
    " (select count(*) from rdb$relation_fields rf join rdb$fields f"
    "   on f.rdb$field_name = rf.rdb$field_source"
    "  where rf.rdb$relation_name = 'TBLNOTIZEN' and (rf.rdb$default_source is not null"
    "   or f.rdb$default_source is not null or f.rdb$computed_blr is not null)),"
    " (select coalesce(f.rdb$character_length, f.rdb$field_length) from rdb$relation_fields rf"
    "   join rdb$fields f on f.rdb$field_name = rf.rdb$field_source"
    "  where rf.rdb$relation_name = 'TBLNOTIZEN' and rf.rdb$field_name = 'TITEL')"
    " from rdb$database";

struct Row {
    qint64 id = 0;
    QString title;
    fb::BlobId text;
    fb::BlobId bild;
    ISC_TIMESTAMP stamp{0, 0};
    bool idNull = true, titleNull = true, textNull = true, bildNull = true, stampNull = true;
    // A row known to be listed but not read yet (the count is known before the rows are).
    bool loaded = true;
    // the text itself when the stored blob id is not known (after a post without refresh)
    std::shared_ptr<const QString> knownText;
};

enum Field { FId, FTitel, FBemerkung, FBild, FZeitstempel, FUnknown };

Field FieldOf(const QString& name) {
    static const char* const names[] = {"ID", "TITEL", "BEMERKUNG", "BILD", "ZEITSTEMPEL"};
    for (int i = 0; i < 5; ++i)
        if (name.compare(QLatin1String(names[i]), Qt::CaseInsensitive) == 0)
            return static_cast<Field>(i);
    return FUnknown;
}

} // namespace

struct TNotizListe::Impl : TTransactionClient {
    Impl(TDatabase& d, TSharedTransaction& t, TNotizListe* self) : db(d), tr(t), q(self) {}

    TDatabase& db;
    TSharedTransaction& tr;
    TNotizListe* q;

    QString selectSql = "select * from tblnotizen order by tblnotizen.titel asc";
    std::unique_ptr<fb::Statement> cursor;
    int col[5] = {-1, -1, -1, -1, -1};
    std::vector<Row> rows;
    int cur = -1;
    // Where the rows come from: the cursor of the select statement, whose first `fetched` rows
    // are read (the rest of `rows` are placeholders once the count is known), or a list of ids
    // read in batches in any order.
    int fetched = 0;
    bool totalKnown = false;
    bool byIds = false;
    std::vector<qint64> ids;
    TBackgroundCount counter;
    quint64 listing = 0; // one more per opening and closing: a late count of another is dropped
    bool countFailed = false;
    TDataSetState state = TDataSetState::Inactive;
    bool bof = false, eof = false;

    // edit buffer, and the row as it was when the edit began
    Row edit;
    Row editBase;
    QString editBaseText; // read when the edit began: an old blob may be gone later
    QString editText;
    bool textChanged = false;
    bool modified = false;

    // text of the current row, read once
    mutable int cacheRow = -1;
    mutable QString cacheText;

    // the table's description, asked once
    int titleLength = 0;
    int needRefresh = -1; // -1 unknown
    // The edit began on a connection that broke: an unchanged text is written from what was
    // read at its start, not by the old connection's blob id.
    bool staleBlobIds = false;

    struct Prepared {
        std::unique_ptr<fb::Statement> stmt;
        QStringList names;
    };
    Prepared modify, insert, refresh, stored;

    // --- helpers
    fb::Attachment& Att() { return db.impl()->att; }
    fb::Transaction& Tr() { return tr.impl()->tr; }

    void SetState(TDataSetState s) {
        if (state == s)
            return;
        state = s;
        emit q->StateChange(s);
    }
    void InvalidateCache() { cacheRow = -1, cacheText.clear(); }

    void FreeStatements() {
        cursor.reset();
        modify.stmt.reset();
        insert.stmt.reset();
        refresh.stmt.reset();
        stored.stmt.reset();
    }

    // An edit in progress keeps the user's values and the rows held: its save reads the stored
    // row anew on the new connection. Anything else closes as after a commit.
    void TransactionEnding() noexcept override {
        counter.Wait(); // it runs in the transaction
    }

    void ConnectionLost() override {
        counter.Wait();
        if (!Editing()) {
            TransactionEnded();
            return;
        }
        FreeStatements(); // the cursor with them: no more rows are fetched
        staleBlobIds = true;
        needRefresh = -1;
    }

    void TransactionEnded() override {
        struct Free {
            Impl* self;
            ~Free() { self->FreeStatements(); }
        } free{this}; // also when a handler of the closing signals throws
        counter.Wait();
        DoClose();
    }

    void DoClose() {
        if (state == TDataSetState::Inactive)
            return;
        if (Editing())
            emit q->EditDropping();
        if (cursor)
            cursor->CloseCursor();
        ++listing;
        countFailed = false;
        emit q->AboutToReset();
        std::vector<Row>().swap(rows);
        std::vector<qint64>().swap(ids);
        fetched = 0;
        totalKnown = byIds = false;
        cur = -1;
        bof = eof = false;
        edit = editBase = Row{};
        editBaseText.clear();
        editText.clear();
        textChanged = modified = false;
        staleBlobIds = false;
        InvalidateCache();
        state = TDataSetState::Inactive;
        emit q->Reset();
        emit q->StateChange(state);
        emit q->DataChange();
    }

    Row ReadRow(const fb::Statement& s, const int* c) const {
        Row r;
        if (c[FId] >= 0 && !s.IsNull(c[FId])) {
            r.id = s.AsInt64(c[FId]);
            r.idNull = false;
        }
        if (c[FTitel] >= 0 && !s.IsNull(c[FTitel])) {
            r.title = s.AsString(c[FTitel]);
            r.titleNull = false;
        }
        if (c[FBemerkung] >= 0 && !s.IsNull(c[FBemerkung])) {
            r.text = s.AsBlobId(c[FBemerkung]);
            r.textNull = false;
        }
        if (c[FBild] >= 0 && !s.IsNull(c[FBild])) {
            r.bild = s.AsBlobId(c[FBild]);
            r.bildNull = false;
        }
        if (c[FZeitstempel] >= 0 && !s.IsNull(c[FZeitstempel])) {
            r.stamp = s.AsTimestamp(c[FZeitstempel]);
            r.stampNull = false;
        }
        return r;
    }

    // Up to count rows from the cursor, not yet held.
    std::vector<Row> FetchRows(int count) {
        std::vector<Row> fetched;
        while (static_cast<int>(fetched.size()) < count && cursor && cursor->CursorOpen()) {
            if (!cursor->Fetch())
                break;
            fetched.push_back(ReadRow(*cursor, col));
        }
        return fetched;
    }

    // Reads up to count rows from the cursor: into the placeholders first, then as new rows.
    // At the cursor's end, placeholders left over (rows deleted since the count) go.
    int Fetch(int count) {
        std::vector<Row> got = FetchRows(count);
        const int n = static_cast<int>(got.size());
        int taken = 0;
        const int firstFilled = fetched;
        for (; taken < n && fetched < static_cast<int>(rows.size()); ++taken)
            rows[std::size_t(fetched++)] = std::move(got[std::size_t(taken)]);
        if (fetched > firstFilled)
            emit q->RowsLoaded(firstFilled, fetched - 1);
        if (taken < n) {
            const int first = static_cast<int>(rows.size());
            emit q->RowsAboutToBeInserted(first, first + n - taken - 1);
            rows.insert(rows.end(), std::make_move_iterator(got.begin() + taken),
                        std::make_move_iterator(got.end()));
            fetched += n - taken;
            emit q->RowsInserted();
        }
        if ((!cursor || !cursor->CursorOpen()) && fetched < static_cast<int>(rows.size())) {
            emit q->RowsAboutToBeRemoved(fetched, static_cast<int>(rows.size()) - 1);
            rows.resize(std::size_t(fetched));
            if (cur >= fetched)
                cur = fetched - 1;
            emit q->RowsRemoved();
        }
        return n;
    }

    // Reads the rows of the ids around row that are not read yet (one statement per batch).
    void LoadIds(int row) {
        const int first = qMax(0, row - kStepFetch / 4);
        const int last = qMin(static_cast<int>(rows.size()) - 1, first + kStepFetch - 1);
        QStringList wanted;
        for (int i = first; i <= last; ++i)
            if (!rows[std::size_t(i)].loaded)
                wanted << QString::number(ids[std::size_t(i)]);
        if (wanted.isEmpty())
            return;
        fb::Statement s(Att());
        s.Prepare(Tr(), QStringLiteral("select * from tblnotizen where id in (%1)").arg(wanted.join(u',')),
                  db.SqlDialect());
        s.Execute(Tr());
        int c[5] = {-1, -1, -1, -1, -1};
        for (int k = 0; k < s.ColumnCount(); ++k)
            if (const Field f = FieldOf(s.ColumnName(k)); f != FUnknown && c[f] < 0)
                c[f] = k;
        std::unordered_map<qint64, Row> read;
        while (s.Fetch()) {
            Row r = ReadRow(s, c);
            read.emplace(r.id, std::move(r));
        }
        for (int i = first; i <= last; ++i) {
            Row& r = rows[std::size_t(i)];
            if (r.loaded)
                continue;
            const auto found = read.find(ids[std::size_t(i)]);
            // A note deleted since it was found stays an empty row: nothing to show or change.
            r = found != read.end() ? std::move(found->second) : Row{};
            r.loaded = true;
        }
        emit q->RowsLoaded(first, last);
    }

    // The row is read (fetching from the cursor or reading its batch); false when it is past the end.
    bool EnsureLoaded(int row) {
        if (row < 0)
            return false;
        if (byIds) {
            if (row >= static_cast<int>(rows.size()))
                return false;
            LoadIds(row);
            return true;
        }
        while (row >= fetched && cursor && cursor->CursorOpen())
            Fetch(qMax(kStepFetch, row - fetched + 1));
        return row < static_cast<int>(rows.size()) && row < fetched;
    }

    void LoadMeta() {
        if (needRefresh >= 0)
            return;
        fb::Statement s(Att());
        s.Prepare(Tr(), kMetaSql, db.SqlDialect());
        s.Execute(Tr());
        if (s.Fetch()) {
            needRefresh = s.AsInt64(0) > 0 ? 1 : 0;
            titleLength = static_cast<int>(s.AsInt64(1));
        }
        s.CloseCursor();
    }

    QString TextOf(const Row& r, int rowIndex) const {
        if (r.knownText)
            return *r.knownText;
        if (r.textNull)
            return {};
        if (cacheRow != rowIndex || rowIndex < 0) {
            const QByteArray data =
                fb::ReadBlob(const_cast<Impl*>(this)->Att(), const_cast<Impl*>(this)->Tr(), r.text);
            cacheText = QString::fromUtf8(data);
            cacheRow = rowIndex;
        }
        return cacheText;
    }

    bool Editing() const { return state == TDataSetState::Edit || state == TDataSetState::Insert; }

    // The rows of a listing are there: browsing on the first one.
    void Opened() {
        ++listing;
        cur = rows.empty() ? -1 : 0;
        bof = true;
        eof = rows.empty();
        InvalidateCache();
        state = TDataSetState::Browse;
        emit q->Reset();
        emit q->StateChange(state);
        emit q->DataChange();
    }

    // The row whose values the fields show.
    const Row* Current() const {
        if (cur < 0 || cur >= static_cast<int>(rows.size()))
            return nullptr;
        return Editing() ? &edit : &rows[cur];
    }

    void Prepare(Prepared& p, const QStringList& sql) {
        if (p.stmt && p.stmt->Prepared())
            return;
        const TTranslatedSql t = TranslateNamedParams(sql.join('\n'));
        auto s = std::make_unique<fb::Statement>(Att());
        s->Prepare(Tr(), t.sql, db.SqlDialect());
        p.names = t.names;
        p.stmt = std::move(s);
    }

    // Binds the row's values (and :OLD_ID) to the statement's named parameters.
    void Bind(Prepared& p, const Row& r, const Row& old) {
        for (int i = 0; i < p.stmt->ParamCount(); ++i) {
            const QString name = p.names.value(i);
            fb::Statement& s = *p.stmt;
            if (name.compare("OLD_ID", Qt::CaseInsensitive) == 0) {
                if (old.idNull)
                    s.SetNull(i);
                else
                    s.SetInt64(i, old.id);
                continue;
            }
            switch (FieldOf(name)) {
            case FId:
                r.idNull ? s.SetNull(i) : s.SetInt64(i, r.id);
                break;
            case FTitel:
                r.titleNull ? s.SetNull(i) : s.SetText(i, r.title.toUtf8());
                break;
            case FBemerkung:
                if (textChanged) {
                    if (editText.isEmpty())
                        s.SetNull(i);
                    else
                        s.SetBlobData(i, editText.toUtf8()); // a changed text is stored as new
                } else if (r.knownText) {
                    s.SetBlobData(i, r.knownText->toUtf8());
                } else if (staleBlobIds && !r.textNull) {
                    s.SetBlobData(i, editBaseText.toUtf8());
                } else if (r.textNull) {
                    s.SetNull(i);
                } else {
                    s.SetBlobId(i, r.text); // unchanged: the same stored text
                }
                break;
            case FBild:
                r.bildNull ? s.SetNull(i) : s.SetBlobId(i, r.bild);
                break;
            case FZeitstempel:
                r.stampNull ? s.SetNull(i) : s.SetTimestamp(i, r.stamp);
                break;
            default:
                s.SetNull(i);
                break;
            }
        }
    }

    void Refresh(Row& r) {
        Prepare(refresh, kRefreshSql);
        Bind(refresh, r, r);
        refresh.stmt->Execute(Tr());
        int c[5];
        for (int f = 0; f < 5; ++f)
            c[f] = -1;
        for (int k = 0; k < refresh.stmt->ColumnCount(); ++k) {
            const Field f = FieldOf(refresh.stmt->ColumnName(k));
            if (f != FUnknown)
                c[f] = k;
        }
        if (refresh.stmt->Fetch())
            r = ReadRow(*refresh.stmt, c);
        refresh.stmt->CloseCursor();
    }

    // Throws TChangedMeanwhile when the stored row is no longer the one the edit began from;
    // the held row then takes the stored values, so that a cancel shows them.
    void CheckStoredRow() {
        Prepare(stored, kStoredRowSql);
        Bind(stored, editBase, editBase);
        stored.stmt->Execute(Tr());
        int c[5];
        for (int f = 0; f < 5; ++f)
            c[f] = f;
        const bool found = stored.stmt->Fetch();
        Row now;
        if (found)
            now = ReadRow(*stored.stmt, c);
        stored.stmt->CloseCursor();
        if (found && now.title == editBase.title &&
            (now.textNull ? QString() : QString::fromUtf8(fb::ReadBlob(Att(), Tr(), now.text))) ==
                editBaseText)
            return;
        tr.impl()->tr.CommitRetaining(); // lets go of the row
        if (found) {
            rows[cur] = now;
            InvalidateCache();
        }
        throw TChangedMeanwhile(found ? kChangedMeanwhile : kDeletedMeanwhile);
    }

    void DoPost() {
        if (!Editing())
            return;
        tr.impl()->EnsureActive();
        LoadMeta();
        const bool inserting = state == TDataSetState::Insert;
        if (!inserting)
            CheckStoredRow();
        Prepared& p = inserting ? insert : modify;
        Prepare(p, inserting ? kInsertSql : kModifySql);
        Bind(p, edit, editBase);
        p.stmt->Execute(Tr());
        Row saved = edit;
        if (textChanged) {
            saved.knownText = editText.isEmpty() ? nullptr : std::make_shared<const QString>(editText);
            saved.textNull = editText.isEmpty();
        }
        if (needRefresh == 1)
            Refresh(saved);
        // Durable now; a crash or a hard end of the session cannot take the change back.
        tr.impl()->tr.CommitRetaining();
        if (staleBlobIds && !textChanged && !saved.textNull)
            saved.knownText = std::make_shared<const QString>(editBaseText);
        staleBlobIds = false;
        rows[cur] = saved;
        if (byIds)
            ids[std::size_t(cur)] = saved.id;
        InvalidateCache();
        textChanged = modified = false;
        SetState(TDataSetState::Browse);
        emit q->RowChanged(cur);
        emit q->DataChange();
    }

    void DoCancel() {
        if (state == TDataSetState::Edit) {
            textChanged = modified = false;
            SetState(TDataSetState::Browse);
            emit q->RowChanged(cur);
            emit q->DataChange();
        } else if (state == TDataSetState::Insert) {
            const int removed = cur;
            emit q->RowAboutToBeRemoved(removed);
            rows.erase(rows.begin() + removed);
            if (byIds)
                ids.erase(ids.begin() + removed);
            else if (removed < fetched)
                --fetched;
            if (cur >= static_cast<int>(rows.size()))
                cur = static_cast<int>(rows.size()) - 1;
            textChanged = modified = false;
            InvalidateCache();
            emit q->RowRemoved();
            SetState(TDataSetState::Browse);
            emit q->DataChange();
        }
    }

    // Before moving: save a change, abandon an untouched edit. Returns the removed row
    // index when an untouched inserted row went away, else -1.
    int FinishEdit() {
        if (!Editing())
            return -1;
        if (modified) {
            DoPost();
            return -1;
        }
        const int removed = state == TDataSetState::Insert ? cur : -1;
        DoCancel();
        return removed;
    }

    void RequireOpen() const {
        if (state == TDataSetState::Inactive)
            throw fb::Error(std::string(kDataSetName) +
                            ": Cannot perform this operation on a closed dataset");
    }
};

TNotizListe::TNotizListe(TDatabase& db, TSharedTransaction& tr, QObject* parent)
    : QObject(parent), d_(std::make_unique<Impl>(db, tr, this)) {
    setObjectName(kDataSetName);
    tr.impl()->Add(d_.get());
    connect(&d_->counter, &TBackgroundCount::Counted, this, [this](quint64 listing, qint64 total) {
        if (!Active() || d_->totalKnown)
            return;
        if (listing == d_->listing && total < 0)
            d_->countFailed = true; // the next CountInBackground counts here
        else if (listing == d_->listing)
            AssumeTotal(total);
        emit TotalCounted(); // the count of an earlier listing: asked for again
    });
}

TNotizListe::~TNotizListe() {
    d_->tr.impl()->Remove(d_.get());
    d_->FreeStatements();
}

void TNotizListe::SetSelectSQL(const QString& sql) {
    Close();
    d_->cursor.reset();
    d_->selectSql = sql;
}

QString TNotizListe::SelectSQL() const {
    return d_->selectSql;
}

void TNotizListe::Open() {
    if (Active())
        return;
    if (d_->selectSql.trimmed().isEmpty())
        throw fb::Error("Empty SQL Statement");
    d_->tr.impl()->EnsureActive();
    if (!d_->cursor || !d_->cursor->Prepared()) {
        auto s = std::make_unique<fb::Statement>(d_->Att());
        s->Prepare(d_->Tr(), TranslateNamedParams(d_->selectSql).sql, d_->db.SqlDialect());
        for (int f = 0; f < 5; ++f)
            d_->col[f] = -1;
        for (int c = 0; c < s->ColumnCount(); ++c) {
            const Field f = FieldOf(s->ColumnName(c));
            if (f != FUnknown && d_->col[f] < 0)
                d_->col[f] = c;
        }
        d_->cursor = std::move(s);
    }
    for (int i = 0; i < d_->cursor->ParamCount(); ++i)
        d_->cursor->SetNull(i);
    d_->cursor->Execute(d_->Tr());
    emit AboutToReset();
    d_->rows.clear();
    d_->cur = -1;
    try {
        d_->LoadMeta();
        d_->rows = d_->FetchRows(kFirstFetch);
    } catch (...) {
        d_->cursor->CloseCursor();
        d_->rows.clear();
        emit Reset();
        throw;
    }
    d_->fetched = static_cast<int>(d_->rows.size());
    d_->totalKnown = !d_->cursor->CursorOpen(); // read to its end already
    d_->byIds = false;
    d_->Opened();
}

void TNotizListe::OpenIds(const QString& description, const std::vector<qint64>& ids) {
    Close();
    d_->cursor.reset();
    d_->selectSql = description;
    d_->tr.impl()->EnsureActive();
    emit AboutToReset();
    Row placeholder;
    placeholder.loaded = false;
    d_->rows.assign(ids.size(), placeholder);
    d_->ids = ids;
    d_->byIds = d_->totalKnown = true;
    d_->fetched = 0;
    try {
        d_->LoadMeta();
        if (!ids.empty())
            d_->LoadIds(0);
    } catch (...) {
        d_->rows.clear();
        d_->ids.clear();
        d_->byIds = d_->totalKnown = false;
        emit Reset();
        throw;
    }
    d_->Opened();
}

void TNotizListe::KnowTotal() {
    if (!Active() || d_->totalKnown)
        return;
    if (!d_->cursor || !d_->cursor->CursorOpen()) {
        d_->totalKnown = true; // read to its end already
        return;
    }
    fb::Statement s(d_->Att());
    s.Prepare(d_->Tr(), CountStatement(d_->selectSql), d_->db.SqlDialect());
    s.Execute(d_->Tr());
    const qint64 total = s.Fetch() ? s.AsInt64(0) : 0;
    s.CloseCursor();
    AssumeTotal(total);
}

void TNotizListe::CountInBackground() {
    if (!Active() || d_->totalKnown || d_->counter.Running())
        return;
    if (d_->countFailed || !d_->cursor || !d_->cursor->CursorOpen()) {
        KnowTotal();
        return;
    }
    d_->counter.Start(d_->Att(), d_->Tr(), CountStatement(d_->selectSql), d_->db.SqlDialect(), d_->listing);
}

void TNotizListe::AssumeTotal(qint64 total) {
    if (!Active() || d_->totalKnown)
        return;
    d_->totalKnown = true;
    const int held = static_cast<int>(d_->rows.size());
    if (total <= held || !d_->cursor || !d_->cursor->CursorOpen())
        return; // rows went meanwhile: the cursor's end tells
    emit RowsAboutToBeInserted(held, static_cast<int>(total) - 1);
    Row placeholder;
    placeholder.loaded = false;
    d_->rows.resize(std::size_t(total), placeholder);
    emit RowsInserted();
}

bool TNotizListe::TotalKnown() const {
    return d_->totalKnown;
}

bool TNotizListe::Loaded(int row) const {
    return row >= 0 && row < RowCount() && d_->rows[std::size_t(row)].loaded;
}

void TNotizListe::Prefetch(int row) {
    if (Active())
        d_->EnsureLoaded(qMin(row, RowCount() - 1));
}

void TNotizListe::Close() {
    d_->DoClose();
}
bool TNotizListe::Active() const {
    return d_->state != TDataSetState::Inactive;
}
TDataSetState TNotizListe::State() const {
    return d_->state;
}

int TNotizListe::RowCount() const {
    return static_cast<int>(d_->rows.size());
}
bool TNotizListe::CanFetchMore() const {
    return Active() && !d_->byIds && d_->cursor && d_->cursor->CursorOpen();
}

int TNotizListe::FetchMore(int count) {
    if (!CanFetchMore())
        return 0;
    return d_->Fetch(count);
}

bool TNotizListe::IsEmpty() const {
    return d_->rows.empty();
}
int TNotizListe::RecNo() const {
    return d_->cur;
}

void TNotizListe::MoveTo(int row) {
    if (!Active())
        return;
    const int removed = d_->FinishEdit();
    if (removed >= 0 && row > removed)
        --row;
    d_->EnsureLoaded(row);
    if (row >= RowCount())
        row = RowCount() - 1;
    if (row < 0)
        row = RowCount() > 0 ? 0 : -1;
    d_->EnsureLoaded(row);
    d_->bof = d_->eof = false;
    if (row != d_->cur) {
        d_->cur = row;
        d_->InvalidateCache();
    }
    emit DataChange();
}

void TNotizListe::First() {
    if (!Active())
        return;
    d_->FinishEdit();
    d_->cur = d_->rows.empty() ? -1 : 0;
    d_->bof = true;
    d_->eof = d_->rows.empty();
    d_->InvalidateCache();
    emit DataChange();
}

void TNotizListe::Prior() {
    if (!Active())
        return;
    d_->FinishEdit();
    d_->eof = false;
    if (d_->cur <= 0) {
        d_->bof = true;
    } else {
        d_->EnsureLoaded(d_->cur - 1);
        --d_->cur;
        d_->bof = false;
        d_->InvalidateCache();
    }
    emit DataChange();
}

void TNotizListe::Next() {
    if (!Active())
        return;
    d_->FinishEdit();
    d_->bof = false;
    if (d_->EnsureLoaded(d_->cur + 1)) {
        ++d_->cur;
        d_->eof = false;
        d_->InvalidateCache();
    } else {
        d_->eof = true;
    }
    emit DataChange();
}

void TNotizListe::Last() {
    if (!Active())
        return;
    d_->FinishEdit();
    while (CanFetchMore())
        d_->Fetch(1000);
    d_->cur = RowCount() - 1;
    d_->EnsureLoaded(d_->cur);
    d_->eof = true;
    d_->bof = d_->rows.empty();
    d_->InvalidateCache();
    emit DataChange();
}

bool TNotizListe::Bof() const {
    return !Active() || d_->rows.empty() || d_->bof;
}
bool TNotizListe::Eof() const {
    return !Active() || d_->rows.empty() || d_->eof;
}

qint64 TNotizListe::Id(int row) const {
    if (!Loaded(row))
        return 0;
    return (row == d_->cur && d_->Editing()) ? d_->edit.id : d_->rows[row].id;
}

QString TNotizListe::Title(int row) const {
    if (!Loaded(row))
        return {};
    return (row == d_->cur && d_->Editing()) ? d_->edit.title : d_->rows[row].title;
}

QVariant TNotizListe::FieldValue(const QString& name) const {
    const Field f = FieldOf(name);
    if (!Active() || f == FUnknown)
        ThrowFieldNotFound(kDataSetName, name);
    const Row* r = d_->Current();
    if (!r)
        return {};
    switch (f) {
    case FId:
        return r->idNull ? QVariant() : QVariant(r->id);
    case FTitel:
        return r->titleNull ? QVariant() : QVariant(r->title);
    case FBemerkung:
        if (d_->Editing() && d_->textChanged)
            return d_->editText;
        if (r->textNull && !r->knownText)
            return {};
        return d_->TextOf(*r, d_->cur);
    case FBild:
        if (r->bildNull)
            return {};
        return fb::ReadBlob(d_->Att(), d_->Tr(), r->bild);
    case FZeitstempel:
        return r->stampNull ? QVariant() : QVariant(fb::ToDateTime(r->stamp));
    default:
        return {};
    }
}

QString TNotizListe::FieldAsString(const QString& name) const {
    const QVariant v = FieldValue(name);
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::QDateTime)
        return DateTimeToText(v.toDateTime());
    return v.toString();
}

void TNotizListe::SetFieldValue(const QString& name, const QVariant& value) {
    const Field f = FieldOf(name);
    if (!Active() || f == FUnknown)
        ThrowFieldNotFound(kDataSetName, name);
    if (!d_->Editing())
        throw fb::Error(std::string(kDataSetName) + ": Dataset not in edit or insert mode");
    Row& r = d_->edit;
    const bool isNull = !value.isValid() || value.isNull();
    switch (f) {
    case FId:
        if (r.idNull == isNull && (isNull || r.id == value.toLongLong()))
            return;
        r.idNull = isNull;
        r.id = isNull ? 0 : value.toLongLong();
        break;
    case FTitel: {
        QString t = value.toString();
        if (d_->titleLength > 0 && t.size() > d_->titleLength)
            t.truncate(d_->titleLength);
        if (r.titleNull == isNull && r.title == t)
            return;
        r.titleNull = isNull;
        r.title = t;
        break;
    }
    case FBemerkung: {
        const QString text = value.toString();
        if (text == FieldValue(name).toString())
            return; // an unchanged text goes back as stored
        d_->editText = text;
        d_->textChanged = true;
        break;
    }
    case FBild:
        if (!isNull)
            throw fb::Error(std::string(kDataSetName) + ": Field 'BILD' cannot be changed here");
        if (r.bildNull)
            return;
        r.bildNull = true;
        break;
    case FZeitstempel:
        r.stampNull = isNull;
        if (!isNull)
            r.stamp = fb::ToTimestamp(value.toDateTime());
        break;
    default:
        break;
    }
    d_->modified = true;
}

bool TNotizListe::Modified() const {
    return d_->Editing() && d_->modified;
}
int TNotizListe::TitleLength() const {
    return d_->titleLength;
}

void TNotizListe::Edit() {
    d_->RequireOpen();
    if (d_->Editing())
        return;
    if (d_->rows.empty()) {
        Insert();
        return;
    }
    d_->edit = d_->editBase = d_->rows[d_->cur];
    d_->editBaseText = d_->TextOf(d_->editBase, d_->cur);
    d_->editText.clear();
    d_->textChanged = d_->modified = false;
    d_->SetState(TDataSetState::Edit);
}

void TNotizListe::EditFrom(const QString& baseTitle, const QString& baseText) {
    Edit();
    if (d_->state != TDataSetState::Edit)
        return;
    d_->editBase.title = baseTitle;
    d_->editBase.titleNull = false;
    d_->editBaseText = baseText;
}

QString TNotizListe::BaseTitle() const {
    return d_->state == TDataSetState::Edit ? d_->editBase.title : QString();
}

QString TNotizListe::BaseText() const {
    return d_->state == TDataSetState::Edit ? d_->editBaseText : QString();
}

int TNotizListe::Locate(qint64 id) {
    if (!Active())
        return -1;
    if (d_->byIds) {
        const auto at = std::find(d_->ids.begin(), d_->ids.end(), id);
        const int row = at == d_->ids.end() ? -1 : static_cast<int>(at - d_->ids.begin());
        return d_->EnsureLoaded(row) && Id(row) == id ? row : -1;
    }
    for (int row = 0;; ++row) {
        if (!d_->EnsureLoaded(row))
            return -1;
        const Row& r = d_->rows[std::size_t(row)];
        if (!r.idNull && r.id == id)
            return row;
    }
}

void TNotizListe::Insert() {
    d_->RequireOpen();
    d_->FinishEdit();
    const int pos = d_->cur < 0 ? 0 : d_->cur;
    emit RowsAboutToBeInserted(pos, pos);
    d_->rows.insert(d_->rows.begin() + pos, Row{});
    if (d_->byIds)
        d_->ids.insert(d_->ids.begin() + pos, 0);
    else if (pos <= d_->fetched)
        ++d_->fetched;
    d_->cur = pos;
    d_->edit = d_->editBase = Row{};
    d_->editBaseText.clear();
    d_->editText.clear();
    d_->textChanged = d_->modified = false;
    d_->bof = d_->eof = false;
    d_->InvalidateCache();
    emit RowsInserted();
    d_->SetState(TDataSetState::Insert);
    emit DataChange();
}

void TNotizListe::Post() {
    d_->DoPost();
}
void TNotizListe::Cancel() {
    d_->DoCancel();
}
