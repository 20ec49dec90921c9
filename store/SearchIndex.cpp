#include "store/SearchIndex.h"

#include "store/SchemaRules.h"
#include "store/SearchRules.h"
#include "store/StoreInternals.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QScopedValueRollback>
#include <QtDebug>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <set>

namespace {

// Texts up to this many bytes come with the row; longer ones are read as blobs.
constexpr int kInlineTextBytes = 8000;
const QString kSelectNotes =
    QStringLiteral("select ID, TITEL, iif(octet_length(BEMERKUNG) <= %1, "
                   "cast(BEMERKUNG as varchar(%1) character set octets), null), BEMERKUNG from TBLNOTIZEN ")
        .arg(kInlineTextBytes);
const QString kNotesFrom = kSelectNotes + QStringLiteral("where ID > ? order by ID");

// The journal since a number, with the server's time and the reading transaction (one row with
// a null number when nothing changed).
const QString kJournalSince =
    QStringLiteral(
        "select d.JETZT, d.TX, j.NR, j.ID from (select current_timestamp as JETZT, current_transaction "
        "as TX from rdb$database) d left join (select NR, ID from %1 where NR > ?) j on 1 = 1 "
        "order by j.NR")
        .arg(kJournalView);
// The journal's end: its own highest number by its key, then any higher one of a deleted note
// (the trash has no index; it is small).
const QString kJournalEnd = QStringLiteral(
    "select current_timestamp, (select first 1 NR from TBLAENDERUNGEN order by NR desc) from rdb$database");
const QString kJournalEndOfDeleted = QStringLiteral("select max(NR) from %1 where NR > ?").arg(kJournalView);
const QString kJournalNumbersFrom = QStringLiteral("select NR from %1 where NR > ?").arg(kJournalView);
// Transactions of other connections that are still open (listed at all: a state of 0 only says
// that no statement runs in it now) and have written: a number of the journal that is missing
// may still come from one of them.
const QString kOpenWriters =
    QStringLiteral("select count(*), min(t.MON$TRANSACTION_ID) from MON$TRANSACTIONS t "
                   "join MON$RECORD_STATS s on s.MON$STAT_ID = t.MON$STAT_ID "
                   "where t.MON$ATTACHMENT_ID <> current_connection "
                   "and s.MON$RECORD_INSERTS + s.MON$RECORD_UPDATES + s.MON$RECORD_DELETES > 0");

// Missing numbers right below the journal's end that are looked after when loading begins while
// other connections have open writing transactions.
constexpr qint64 kStartWindow = 256;
// A missing number given up without proof that nobody can still commit it.
constexpr qint64 kHoleMaxAgeMs = 10 * 60 * 1000;
// More changes than this at once are read by loading everything again.
constexpr size_t kMaxChanges = 20000;
constexpr size_t kMaxHoles = 10000;
constexpr int kIdsPerStatement = 100;
constexpr size_t kSampleBytes = 256 * 1024;
constexpr char kEnd = char(0xFF); // ends a folded title and a folded text; no UTF-8 has it

// A block of bytes grown with realloc, which moves large blocks without copying them.
class TArena {
public:
    TArena() = default;
    TArena(const TArena&) = delete;
    TArena& operator=(const TArena&) = delete;
    ~TArena() { std::free(data_); }

    const char* Data() const { return data_; }
    char* Data() { return data_; }
    size_t Size() const { return size_; }
    size_t Capacity() const { return capacity_; }
    void Append(const char* bytes, size_t n) {
        Reserve(size_ + n);
        if (n > 0)
            std::memcpy(data_ + size_, bytes, n);
        size_ += n;
    }
    void Fit() { Resize(size_); }
    void Swap(TArena& other) {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
    }

private:
    void Reserve(size_t n) {
        if (n > capacity_)
            Resize(std::max(n, capacity_ + capacity_ / 2 + 65536));
    }
    void Resize(size_t n) {
        if (n == capacity_)
            return;
        void* p = std::realloc(data_, std::max<size_t>(n, 1));
        if (!p)
            throw std::bad_alloc();
        data_ = static_cast<char*>(p);
        capacity_ = n;
    }
    char* data_ = nullptr;
    size_t size_ = 0, capacity_ = 0;
};

// One note: its folded title and text in the arena, its title as stored in the titles.
struct TRecord {
    qint64 id = 0; // -1: gone (its bytes are overwritten)
    quint64 start = 0;
    quint32 length = 0;
    quint32 titleLength = 0;
    quint64 titleStart = 0;
};

// The record whose bytes hold the arena position.
std::vector<TRecord>::const_iterator RecordAt(const std::vector<TRecord>& records, quint64 at) {
    return std::upper_bound(records.begin(), records.end(), at,
                            [](quint64 v, const TRecord& r) { return v < r.start; }) -
           1;
}

enum class TState { Start, Loading, Ready, Unavailable };

} // namespace

struct TSearchIndex::Impl {
    explicit Impl(TDataModuleNotizen& d) : dm(d) {}
    TDataModuleNotizen& dm;

    TState state = TState::Start;
    bool stalled = false; // loading stopped at an error; a Refresh() asks for it again
    // Inside LoadSlice() or Refresh(): a connection made on the way emits signals whose handlers
    // may call again.
    bool busy = false;
    QString lastError;

    TArena arena, titles;
    std::vector<TRecord> records; // in the arena's order
    QHash<qint64, quint32> slotOf;
    size_t deadBytes = 0;
    qint64 lastLoadedId = 0;

    // The journal as far as it has been taken: every number up to `high` was applied, except
    // the holes: missing numbers that an open transaction may still commit. A hole's `before`
    // is a transaction number the hole's transaction is older than (0: not known yet).
    qint64 high = 0;
    struct THole {
        qint64 before = 0;
        qint64 seenAt = 0; // ms of `clock`
        qint64 seenIn = 0; // the reading of the journal that found it missing
    };
    qint64 readings = 0; // of the journal
    std::map<qint64, THole> holes;
    QDateTime lastLook; // the server's time at the last reading of the journal
    QElapsedTimer clock;

    void Clear() {
        TArena().Swap(arena);
        TArena().Swap(titles);
        records = {};
        slotOf = {};
        deadBytes = 0;
        lastLoadedId = 0;
        high = 0;
        holes.clear();
        lastLook = {};
    }

    // The attachment, or nullptr when the connection was closed on purpose (a backup or restore
    // runs): an index does not open it again. A broken connection is made anew.
    fb::Attachment* Attachment() {
        TDatabase::Impl& db = *dm.Database.impl();
        if (!dm.Database.Connected() && !db.att.Attached() && !db.broken)
            return nullptr;
        return &ConnectedAttachment(dm);
    }
    int Dialect() const { return dm.Database.SqlDialect(); }

    // Title and text as UTF-8.
    void Add(qint64 id, std::string_view title, std::string_view text) {
        Remove(id);
        thread_local std::string folded;
        folded.clear();
        AppendFoldedUtf8(folded, title.data(), title.size());
        folded += kEnd;
        AppendFoldedUtf8(folded, text.data(), text.size());
        folded += kEnd;
        TRecord r;
        r.id = id;
        r.start = arena.Size();
        r.length = quint32(folded.size());
        r.titleStart = titles.Size();
        r.titleLength = quint32(title.size());
        arena.Append(folded.data(), folded.size());
        titles.Append(title.data(), title.size());
        slotOf.insert(id, quint32(records.size()));
        records.push_back(r);
    }

    void Remove(qint64 id) {
        const auto it = slotOf.constFind(id);
        if (it == slotOf.cend())
            return;
        TRecord& r = records[*it];
        std::memset(arena.Data() + r.start, kEnd, r.length);
        deadBytes += r.length;
        r.id = -1;
        slotOf.erase(it);
        Compact();
    }

    // Gone notes' bytes are given back once they are a quarter of the whole.
    void Compact() {
        if (deadBytes < 1024 * 1024 || deadBytes < arena.Size() / 4)
            return;
        TArena a, t;
        std::vector<TRecord> kept;
        kept.reserve(records.size());
        slotOf.clear();
        for (const TRecord& r : records) {
            if (r.id < 0)
                continue;
            TRecord n = r;
            n.start = a.Size();
            n.titleStart = t.Size();
            a.Append(arena.Data() + r.start, r.length);
            t.Append(titles.Data() + r.titleStart, r.titleLength);
            slotOf.insert(n.id, quint32(kept.size()));
            kept.push_back(n);
        }
        a.Fit();
        t.Fit();
        arena.Swap(a);
        titles.Swap(t);
        records.swap(kept);
        deadBytes = 0;
    }

    // One row of kSelectNotes: its text inline or from its blob.
    void AddRow(fb::Attachment& att, fb::Transaction& tr, const fb::Statement& s) {
        const qint64 id = s.AsInt64(0);
        const std::string_view title = s.TextBytes(1);
        if (!s.IsNull(2) || s.IsNull(3)) {
            Add(id, title, s.TextBytes(2));
        } else {
            const QByteArray text = fb::ReadBlob(att, tr, s.AsBlobId(3));
            Add(id, title, std::string_view(text.constData(), size_t(text.size())));
        }
    }

    // Open writing transactions of other connections: how many, and the oldest. Empty when the
    // engine does not tell.
    std::optional<std::pair<qint64, qint64>> OpenWriters(fb::Attachment& att, fb::Transaction& tr) {
        try {
            fb::Statement s(att);
            s.Prepare(tr, kOpenWriters, Dialect());
            s.Execute(tr);
            std::pair<qint64, qint64> r{0, 0};
            if (s.Fetch())
                r = {s.AsInt64(0), s.IsNull(1) ? 0 : s.AsInt64(1)};
            s.CloseCursor();
            return r;
        } catch (const fb::ConnectionError&) {
            throw;
        } catch (const fb::Error& e) {
            qWarning("Open transactions of the notes database: %s", e.what());
            return std::nullopt;
        }
    }

    // Where the journal ends as loading begins. Numbers below its end that transactions still
    // open may commit later are looked after as holes.
    void BeginJournal(fb::Attachment& att, fb::Transaction& tr) {
        {
            fb::Statement s(att);
            s.Prepare(tr, kJournalEnd, Dialect());
            s.Execute(tr);
            s.Fetch();
            lastLook = fb::ToDateTime(s.AsTimestamp(0));
            high = s.IsNull(1) ? 0 : s.AsInt64(1);
            s.CloseCursor();
        }
        {
            fb::Statement s(att);
            s.Prepare(tr, kJournalEndOfDeleted, Dialect());
            s.SetInt64(0, high);
            s.Execute(tr);
            if (s.Fetch() && !s.IsNull(0))
                high = s.AsInt64(0);
            s.CloseCursor();
        }
        const auto writers = OpenWriters(att, tr);
        if (writers && writers->first == 0)
            return;
        std::set<qint64> seen;
        fb::Statement s(att);
        s.Prepare(tr, kJournalNumbersFrom, Dialect());
        s.SetInt64(0, high - kStartWindow);
        s.Execute(tr);
        while (s.Fetch())
            seen.insert(s.AsInt64(0));
        s.CloseCursor();
        for (qint64 nr = std::max<qint64>(1, high - kStartWindow + 1); nr < high; ++nr)
            if (!seen.count(nr))
                holes[nr] = {0, clock.elapsed(), readings};
    }

    bool Slice(int budgetMs) {
        QElapsedTimer timer;
        timer.start();
        fb::Attachment* att = Attachment();
        if (!att)
            return true;
        if (state == TState::Start) {
            Clear();
            fb::Transaction tr;
            tr.Start(*att, fb::Transaction::ReadOnlyTpb());
            try {
                BeginJournal(*att, tr);
            } catch (const fb::ConnectionError&) {
                throw;
            } catch (const fb::Error& e) {
                // No journal, or this account may not read it.
                state = TState::Unavailable;
                lastError = QString::fromUtf8(e.what());
                return true;
            }
            tr.Commit();
            state = TState::Loading;
        }
        fb::Transaction tr;
        tr.Start(*att, fb::Transaction::ReadOnlyTpb());
        fb::Statement s(*att);
        s.Prepare(tr, kNotesFrom, Dialect());
        s.SetInt64(0, lastLoadedId);
        s.Execute(tr);
        bool end = true;
        while (s.Fetch()) {
            AddRow(*att, tr, s);
            lastLoadedId = s.AsInt64(0);
            if (timer.elapsed() >= budgetMs) {
                end = false;
                break;
            }
        }
        s.CloseCursor();
        tr.Commit();
        if (end) {
            arena.Fit();
            titles.Fit();
            records.shrink_to_fit();
            state = TState::Ready;
        }
        return end;
    }

    // Reads the notes again by their ids; the ones not found are gone.
    void Reread(fb::Attachment& att, fb::Transaction& tr, const std::set<qint64>& ids) {
        std::vector<qint64> all(ids.begin(), ids.end());
        for (size_t from = 0; from < all.size(); from += kIdsPerStatement) {
            const size_t to = std::min(all.size(), from + kIdsPerStatement);
            QStringList list;
            for (size_t i = from; i < to; ++i)
                list << QString::number(all[i]);
            fb::Statement s(att);
            s.Prepare(tr, kSelectNotes + QStringLiteral("where ID in (%1)").arg(list.join(u',')), Dialect());
            s.Execute(tr);
            std::set<qint64> found;
            while (s.Fetch()) {
                AddRow(att, tr, s);
                found.insert(s.AsInt64(0));
            }
            s.CloseCursor();
            for (size_t i = from; i < to; ++i)
                if (!found.count(all[i]))
                    Remove(all[i]);
        }
    }

    // Starts over: everything is read again.
    void Reload(const QString& why, TSearchIndex* owner) {
        qDebug("The search index loads again: %s", qPrintable(why));
        Clear();
        state = TState::Start;
        stalled = false;
        emit owner->LoadingNeeded();
    }

    void TakeJournal(TSearchIndex* owner) {
        fb::Attachment* att = Attachment(); // a connection made anew starts over (Connected)
        if (!att || state != TState::Ready)
            return;
        fb::Transaction tr;
        tr.Start(*att, fb::Transaction::ReadOnlyTpb());
        const qint64 now = clock.elapsed();
        ++readings;
        // Holes whose transaction has ended, and were not filled by what is read next, stay empty.
        qint64 oldestWriter = -1; // none known
        if (std::any_of(holes.begin(), holes.end(), [](const auto& h) { return h.second.before > 0; })) {
            const auto writers = OpenWriters(*att, tr);
            if (writers)
                oldestWriter = writers->first == 0 ? std::numeric_limits<qint64>::max() : writers->second;
        }
        fb::Statement s(*att);
        s.Prepare(tr, kJournalSince, Dialect());
        s.SetInt64(0, holes.empty() ? high : holes.begin()->first - 1);
        s.Execute(tr);
        std::set<qint64> changed;
        qint64 tx = 0;
        QDateTime serverNow;
        while (s.Fetch()) {
            serverNow = fb::ToDateTime(s.AsTimestamp(0));
            tx = s.AsInt64(1);
            if (s.IsNull(2))
                continue;
            const qint64 nr = s.AsInt64(2);
            if (nr > high) {
                for (qint64 missing = high + 1; missing < nr && holes.size() <= kMaxHoles; ++missing)
                    holes[missing] = {0, now, readings};
                high = nr;
            } else if (!holes.erase(nr)) {
                continue; // taken before
            }
            if (!s.IsNull(3))
                changed.insert(s.AsInt64(3));
        }
        s.CloseCursor();
        if (lastLook.isValid() && serverNow.isValid() && lastLook.addDays(kJournalDays - 1) < serverNow) {
            tr.Commit();
            return Reload(QStringLiteral("the journal may have dropped changes not read yet"), owner);
        }
        lastLook = serverNow;
        if (changed.size() > kMaxChanges || holes.size() > kMaxHoles) {
            tr.Commit();
            return Reload(QStringLiteral("%1 changes").arg(changed.size()), owner);
        }
        for (auto it = holes.begin(); it != holes.end();) {
            THole& h = it->second;
            const bool ended = h.before > 0 && oldestWriter >= 0 && oldestWriter >= h.before;
            if (ended || now - h.seenAt > kHoleMaxAgeMs) {
                it = holes.erase(it);
                continue;
            }
            // This reading's transaction began after the one that found the hole, so after the
            // hole's transaction had taken its number.
            if (h.before == 0 && h.seenIn < readings)
                h.before = tx;
            ++it;
        }
        Reread(*att, tr, changed);
        tr.Commit();
    }
};

TSearchIndex::TSearchIndex(TDataModuleNotizen& dm, QObject* parent)
    : QObject(parent), d_(std::make_unique<Impl>(dm)) {
    d_->clock.start();
    // A new connection may lead to another database (a restore): what is held is not trusted.
    connect(&dm, &TDataModuleNotizen::Connected, this, [this] {
        if (d_->state != TState::Unavailable)
            d_->Reload(QStringLiteral("connected anew"), this);
    });
}

TSearchIndex::~TSearchIndex() = default;

bool TSearchIndex::LoadSlice(int budgetMs) {
    if (d_->state == TState::Ready || d_->state == TState::Unavailable)
        return true;
    if (d_->busy)
        return false;
    const QScopedValueRollback<bool> busy(d_->busy, true);
    try {
        const bool done = d_->Slice(budgetMs);
        d_->stalled = false;
        return done;
    } catch (const std::exception& e) {
        d_->lastError = QString::fromUtf8(e.what());
        d_->stalled = true;
        return true;
    }
}

bool TSearchIndex::Ready() const {
    return d_->state == TState::Ready;
}

bool TSearchIndex::Unavailable() const {
    return d_->state == TState::Unavailable;
}

void TSearchIndex::Refresh() {
    if (d_->busy)
        return;
    const QScopedValueRollback<bool> busy(d_->busy, true);
    if (d_->stalled) {
        d_->stalled = false;
        emit LoadingNeeded();
        return;
    }
    try {
        d_->TakeJournal(this);
    } catch (const std::exception& e) {
        // The changes are not known: whatever is found now may be stale.
        d_->lastError = QString::fromUtf8(e.what());
        d_->Clear();
        d_->state = TState::Start;
        d_->stalled = true;
    }
}

std::vector<qint64> TSearchIndex::Find(const QString& term) const {
    std::vector<qint64> ids;
    if (d_->state != TState::Ready)
        return ids;
    const std::vector<TRecord>& records = d_->records;
    std::vector<std::string> words;
    for (const QString& w : SearchWords(term)) {
        const QByteArray f = FoldForSearch(w).toUtf8();
        words.emplace_back(f.constData(), size_t(f.size()));
    }
    std::vector<char> found(records.size(), 0);
    if (words.empty()) {
        std::fill(found.begin(), found.end(), 1);
    } else {
        // The rarest word is looked for through the whole block, the others only in the notes
        // that have it. Which one is rarest is guessed from a sample at the block's start.
        const char* base = d_->arena.Data();
        const size_t size = d_->arena.Size();
        const auto sampled = [&](const std::string& w) {
            const size_t end = std::min(size, kSampleBytes);
            size_t n = 0;
            for (const char* p = base;
                 (p = static_cast<const char*>(memmem(p, size_t(base + end - p), w.data(), w.size()))) !=
                 nullptr;
                 p += w.size())
                ++n;
            return n;
        };
        if (words.size() > 1) {
            std::vector<std::pair<size_t, std::string>> counted;
            for (std::string& w : words)
                counted.emplace_back(sampled(w), std::move(w));
            std::sort(counted.begin(), counted.end(), [](const auto& a, const auto& b) {
                return a.first != b.first ? a.first < b.first : a.second.size() > b.second.size();
            });
            words.clear();
            for (auto& c : counted)
                words.push_back(std::move(c.second));
        }
        size_t pos = 0;
        while (pos < size) {
            const void* hit = memmem(base + pos, size - pos, words[0].data(), words[0].size());
            if (!hit)
                break;
            const auto at = quint64(static_cast<const char*>(hit) - base);
            const auto r = RecordAt(records, at);
            const char* from = base + r->start;
            found[size_t(r - records.begin())] =
                std::all_of(words.begin() + 1, words.end(), [&](const std::string& w) {
                    return memmem(from, r->length, w.data(), w.size()) != nullptr;
                });
            pos = r->start + r->length;
        }
    }
    if (HasTitleWildcards(term)) {
        // The first release's title test, on every title.
        const TTitleLike like(term);
        for (size_t i = 0; i < records.size(); ++i)
            if (!found[i] && records[i].id >= 0)
                found[i] = like.Matches(
                    std::string_view(d_->titles.Data() + records[i].titleStart, records[i].titleLength));
    }
    for (size_t i = 0; i < records.size(); ++i)
        if (found[i] && records[i].id >= 0)
            ids.push_back(records[i].id);
    if (!std::is_sorted(ids.begin(), ids.end()))
        std::sort(ids.begin(), ids.end());
    return ids;
}

qint64 TSearchIndex::Count() const {
    return d_->slotOf.size();
}

size_t TSearchIndex::MemoryBytes() const {
    return sizeof(Impl) + d_->arena.Capacity() + d_->titles.Capacity() +
           d_->records.capacity() * sizeof(TRecord) +
           size_t(d_->slotOf.capacity()) * (sizeof(qint64) + sizeof(quint32) + 1);
}

QString TSearchIndex::LastError() const {
    return d_->lastError;
}
