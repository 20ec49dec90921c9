#pragma once
// The data module: the one connection, the one shared transaction, the statement objects
// and the list result set. Knows nothing of windows; it tells them through signals.
#include "store/SchemaUpgrade.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <stdexcept>
#include <vector>

class TDatabase;
class TSharedTransaction;
class TQuery;
class TNotizListe;

// The delivered database's file name and the account the program attaches with.
inline const QString kDatabaseFileName = QStringLiteral("notizen.gdb");
struct TCredentials {
    QString user = QStringLiteral("sysdba");
    QString password = QStringLiteral("lanternix");
};

// Database information items of the connected database.
struct TDatabaseInfo {
    QString serverVersion; // item 12 (isc_info_version), the server's version text
    int odsVersion = 0;    // item 32
    int odsMinorVersion = 0;
    int pageSize = 0;      // item 14
    qint64 allocation = 0; // item 21, allocated pages
    int sqlDialect = 0;
};

// --- the connection ---------------------------------------------------------------------
class TDatabase : public QObject {
    Q_OBJECT
public:
    explicit TDatabase(QObject* parent = nullptr);
    ~TDatabase() override;

    void SetDatabaseName(const QString& fileName);
    QString DatabaseName() const;
    void SetCredentials(const TCredentials& credentials);
    TCredentials Credentials() const;
    QString UserName() const { return Credentials().user; }
    int SqlDialect() const; // 3, lowered to the database's own dialect after connecting

    // Attaches with a DPB of exactly user name and password. Emits AfterConnect on success.
    // A connection that broke is dropped first (its result sets close, its uncommitted work is
    // gone) and made anew. A server that cannot be reached or refuses the account raises
    // fb::ConnectionError: a German message with the client library's text nested in it.
    void Open();
    // Closes every result set (unsaved edits dropped), commits an active transaction,
    // then detaches. Every step runs even when one fails (a transaction that cannot be
    // committed is rolled back); the first error is raised afterwards, and the connection is
    // closed either way. A closed connection stays closed.
    void Close();
    // Attached, and the connection has not broken.
    bool Connected() const;

    TDatabaseInfo Info() const; // throws when not connected

signals:
    void AfterConnect(); // the connection broadcast hangs on this

public: // for the store's own classes
    struct Impl;
    Impl* impl() const { return d_.get(); }

private:
    std::unique_ptr<Impl> d_;
};

// --- the shared transaction (TPB 3, 15, 17, 7; default end: commit) ---------------------
class TSharedTransaction : public QObject {
    Q_OBJECT
public:
    explicit TSharedTransaction(TDatabase& db, QObject* parent = nullptr);
    ~TSharedTransaction() override;

    bool InTransaction() const;
    // "Cannot perform operation -- DB is not open" while closed; nothing while active. A
    // connection that broke is made anew first.
    void StartTransaction();
    // Closes every result set opened in it (dropping an unsaved edit) and releases the
    // prepared statements; nothing while inactive. A failed commit changes nothing.
    void Commit();
    void CommitRetaining(); // keeps everything open

signals:
    void Committed(); // after a commit (not a commit-retaining)

public:
    struct Impl;
    Impl* impl() const { return d_.get(); }

private:
    std::unique_ptr<Impl> d_;
};

// Every write of the program: the shared transaction is started when idle, and Commit()
// commits it when it is still active. A failure before Commit() leaves the transaction as it
// is: a failed statement changed nothing in it.
class TWriteScope {
public:
    explicit TWriteScope(TSharedTransaction& transaction);
    TWriteScope(const TWriteScope&) = delete;
    TWriteScope& operator=(const TWriteScope&) = delete;
    void Commit();

private:
    TSharedTransaction& transaction_;
};

// --- a general statement object ---------------------------------------------------------
class TQuery : public QObject {
    Q_OBJECT
public:
    TQuery(TDatabase& db, TSharedTransaction& tr, const QString& name, QObject* parent = nullptr);
    ~TQuery() override;

    // Replacing the text closes the open result and releases the prepared statement.
    void SetSQL(const QStringList& lines);
    void ClearSQL() { SetSQL({}); }
    QStringList SQL() const;

    // Named parameter ":Name" bound to a text (UTF-8): as a blob where the statement wants a
    // blob, else as text; replacing the statement text forgets it. Unbound parameters are null.
    void SetBlobParam(const QString& name, const QString& text);
    void SetTextParam(const QString& name, const QString& text) { SetBlobParam(name, text); }

    // Both connect when closed and start the transaction when inactive (rule of the store).
    void ExecSQL(); // no rows; "Empty SQL Statement" when the text has no lines
    void Open();    // a select; first row current; nothing when already open
    void Close();
    bool Active() const;
    bool Eof() const;
    void Next();

    // Closed or unknown column: "<name>: Field 'X' not found". No row: null.
    bool FieldIsNull(const QString& name) const;
    QString FieldAsString(const QString& name) const; // null -> empty; text blobs read whole
    qint64 FieldAsInteger(const QString& name) const; // null -> 0

    struct Impl;

private:
    std::unique_ptr<Impl> d_;
};

// --- the editable list result set -------------------------------------------------------
enum class TDataSetState { Inactive, Browse, Edit, Insert };

class TNotizListe : public QObject {
    Q_OBJECT
public:
    TNotizListe(TDatabase& db, TSharedTransaction& tr, QObject* parent = nullptr);
    ~TNotizListe() override;

    void SetSelectSQL(const QString& sql); // closes first
    QString SelectSQL() const;

    void Open();  // connects and starts the transaction when needed; first row current
    void Close(); // drops an unsaved edit
    bool Active() const;
    TDataSetState State() const;

    // The rows listed: the select statement's rows, or notes given by their ids (a search done in
    // memory), in that order; the id list is known whole at once.
    void OpenIds(const QString& description, const std::vector<qint64>& ids);

    // Forward-fetching buffer: rows are fetched as they are needed.
    int RowCount() const; // rows known so far (an inserted row included), read or not
    bool CanFetchMore() const;
    int FetchMore(int count); // returns the number of rows read
    bool IsEmpty() const;
    // Counts the rows of the select statement, so that every row is known before it is read
    // (placeholders, read when needed). Nothing when the count is known already.
    void KnowTotal();
    // The same without waiting: counts in another thread, and TotalCounted follows; counts here
    // when that failed. Nothing while a count is in flight.
    void CountInBackground();
    // The count as known elsewhere (the notes held in memory for the search, when the listing is
    // every note); a count that turns out wrong is mended when the rows are read to the end.
    void AssumeTotal(qint64 total);
    bool TotalKnown() const;
    // Whether a known row has been read; Prefetch reads it (and its neighbours).
    bool Loaded(int row) const;
    void Prefetch(int row);

    int RecNo() const; // current row, -1 when none
    // Moving finishes an edit first: saved when changed, abandoned otherwise.
    void MoveTo(int row);
    void First();
    void Prior();
    void Next();
    void Last();      // fetches to the end
    bool Bof() const; // begin mark (after open, First, or Prior that found nothing)
    bool Eof() const; // end mark (after Last, or Next that found nothing)

    // Values of any read row, for the grid (empty for a row not read yet); the text blob is not
    // read here.
    qint64 Id(int row) const;
    QString Title(int row) const;

    // Fields of the current row: "ID", "TITEL", "BEMERKUNG", "BILD", "ZEITSTEMPEL".
    // Closed (or an unknown name): throws "DataSetNotizliste: Field 'TITEL' not found".
    // Open without a row: null (empty text). ZEITSTEMPEL as text: see DateTimeToText.
    QVariant FieldValue(const QString& name) const;
    QString FieldAsString(const QString& name) const;
    // Edit/Insert only. Writes the edit buffer and tells nobody: the fields that typed the
    // value already show it. A value equal to the current one changes nothing.
    void SetFieldValue(const QString& name, const QVariant& value);
    bool Modified() const;
    int TitleLength() const; // the declared length of TITEL (known after the first Open; 0 before)

    void Edit(); // Browse: rows -> Edit, no rows -> Insert
    // Edit of the current row as it was begun earlier (a draft): saving it checks the stored
    // row against this title and text, not against the row as it is read now.
    void EditFrom(const QString& baseTitle, const QString& baseText);
    // The title and text the edit began from (Edit only; empty otherwise).
    QString BaseTitle() const;
    QString BaseText() const;
    // The row of the note with this id, fetching as far as needed; -1 when it is not listed.
    int Locate(qint64 id);
    void Insert();
    // The modify (or insert) statement, made durable at once with a commit-retaining, so
    // that a saved edit survives the program's end and every other result set stays open.
    // A row whose stored title or text is no longer what the edit started from (another
    // program changed or deleted it meanwhile) is refused with TChangedMeanwhile; the edit
    // goes on with the user's values, and Cancel then shows the stored note.
    void Post();
    void Cancel();

signals:
    // An edit is about to be dropped (the list closes: a commit, a listing, the connection
    // closing); the fields still hold what was typed.
    void EditDropping();
    void StateChange(TDataSetState state);
    void DataChange(); // the current row moved, or its values changed
    // Each change of the rows is announced before it is made and reported after it, in the
    // order an item model's begin/end calls need.
    void AboutToReset(); // opened or closed: everything is new
    void Reset();
    void RowsAboutToBeInserted(int first, int last);
    void RowsInserted();
    void RowAboutToBeRemoved(int row);
    void RowRemoved();
    void RowsAboutToBeRemoved(int first, int last); // placeholders of rows gone since the count
    // After CountInBackground: the count is known, or CountInBackground is to be called again.
    void TotalCounted();
    void RowsRemoved();
    void RowsLoaded(int first, int last); // placeholders read: their values are there now
    void RowChanged(int row);             // the held values of a row changed (after a save or cancel)

public:
    struct Impl;

private:
    std::unique_ptr<Impl> d_;
};

// The save of an edit that would overwrite another program's change.
class TChangedMeanwhile : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// --- the data module --------------------------------------------------------------------
class TDataModuleNotizen : public QObject {
    Q_OBJECT
    // Declared before the public references below, which are bound to them.
    QString programDirectory_;
    QString configuredDatabase_;
    TCredentials credentials_;
    QString lastConnectError_;
    QString lastConnectFault_;
    TSchemaReport schema_;
    bool trashPurged_ = false;
    std::unique_ptr<TDatabase> database_;
    std::unique_ptr<TSharedTransaction> transaction_;
    std::unique_ptr<TQuery> queryNotizen_;
    std::unique_ptr<TQuery> queryInternes_;
    std::unique_ptr<TNotizListe> notizliste_;

public:
    // programDirectory empty: the running executable's directory. Nothing is connected yet.
    explicit TDataModuleNotizen(const QString& programDirectory = {}, QObject* parent = nullptr);
    // Close(); an error is only logged.
    ~TDataModuleNotizen() override;

    // The end of the program: the result sets are closed (an unsaved edit is dropped), an
    // active transaction is committed, the connection is closed.
    void Close();

    // A configured connection instead of the file in the program directory: a path, or a
    // server's database as the client library reads it ("host/port:/path", "host:alias"),
    // passed on as it stands, and the account for it. Before DataModuleCreate().
    void UseDatabase(const QString& database, const TCredentials& credentials);

    // Sets the database name and connects; false when connecting failed (the caller shows
    // the critical-error message and ends the program).
    bool DataModuleCreate();
    // The client library's text of the failed connect.
    QString LastConnectError() const;
    // The German cause when the server could not be reached or refused the account; empty
    // for any other failure.
    QString LastConnectFault() const;

    QString ProgramDirectory() const; // with its trailing separator
    // ProgramDirectory() + kDatabaseFileName, or the configured database.
    QString DatabaseFileName() const;
    // The database lies on a server (backup and restore run through its services manager).
    bool IsServer() const;

    // The schema as found and upgraded at the last connect.
    const TSchemaReport& Schema() const { return schema_; }
    // Whether deleted notes are kept; asks the database again while they were not (another
    // account may have upgraded it meanwhile).
    bool TrashAvailable();

    TDatabase& Database;
    TSharedTransaction& SharedTransaction;
    TQuery& QueryNotizen;
    TQuery& QueryInternes;
    TNotizListe& DataSetNotizliste;

    // Start the transaction if none is active, set the text, execute, commit if active.
    void RunInSharedTransaction(TQuery& query, const QStringList& sql);

    // The writes of the note windows, each committed.
    void SaveNewNote(const QString& title, const QString& text);
    void DeleteNote(qint64 id);

    // The listings of the list window: the list is closed (an unsaved edit dropped), given
    // its statement and opened again.
    void ListNotes();        // in the database's order
    void ListNotesByTitle(); // ordered by title
    // Every word anywhere in title or text (SearchStatement), which keeps the first release's
    // condition as one alternative.
    void SearchNotes(const QString& term);
    // The notes a search found in memory, in this order.
    void ListNoteIds(const QString& term, const std::vector<qint64>& ids);

    // A connection that broke is made anew first.
    TDatabaseInfo DatabaseInfo();
    static QString ClientLibraryVersion(); // e.g. "3.0.11.33703"; empty when unknown

signals:
    // The connection broadcast, emitted after every successful connect.
    void Connected(const QString& databaseFileName);

private:
    void OpenNoteList(const QString& selectSql);
    // On every connect: the schema brought up to date, once a run the old trash emptied.
    void AfterConnect();
};

// Apostrophes written twice, for a text placed between apostrophes in a statement.
QString QuoteSqlText(const QString& text);

// The four version numbers of a client or server version text such as
// "LI-V6.3.11.33637 Firebird 3.0" -> "3.0.11.33637".
QString ClientVersionNumbers(const QString& text);
