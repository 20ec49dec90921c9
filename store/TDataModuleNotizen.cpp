#include "store/TDataModuleNotizen.h"

#include "store/NoteStatements.h"
#include "store/SearchRules.h"
#include "store/SqlParams.h"
#include "store/StoreInternals.h"
#include "store/fb/FbConnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtDebug>
#include <algorithm>
#include <exception>

namespace {
const char* const kNotOpen = "Cannot perform operation -- DB is not open";
} // namespace

void ThrowFieldNotFound(const QString& dataSet, const QString& field) {
    throw fb::Error((dataSet + ": Field '" + field + "' not found").toStdString());
}

fb::Attachment& ConnectedAttachment(TDataModuleNotizen& dataModule) {
    if (!dataModule.Database.Connected())
        dataModule.Database.Open();
    return dataModule.Database.impl()->att;
}

QString QuoteSqlText(const QString& text) {
    QString out = text;
    out.replace("'", "''");
    return out;
}

// --- TDatabase -------------------------------------------------------------------------

TDatabase::TDatabase(QObject* parent) : QObject(parent), d_(std::make_unique<Impl>()) {}

TDatabase::~TDatabase() {
    try {
        Close();
    } catch (const std::exception& e) {
        qWarning("Closing the database: %s", e.what());
    }
}

void TDatabase::SetDatabaseName(const QString& fileName) {
    d_->name = fileName;
}
QString TDatabase::DatabaseName() const {
    return d_->name;
}
void TDatabase::SetCredentials(const TCredentials& credentials) {
    d_->credentials = credentials;
}
TCredentials TDatabase::Credentials() const {
    return d_->credentials;
}
int TDatabase::SqlDialect() const {
    return d_->dialect;
}
bool TDatabase::Connected() const {
    return d_->att.Attached() && !d_->att.Lost();
}

void TDatabase::Impl::Drop() noexcept {
    for (TSharedTransaction* t : transactions) {
        t->impl()->LoseClients();
        t->impl()->tr.Abandon();
    }
    att.Abandon();
    broken = true;
}

void TDatabase::Open() {
    if (Connected())
        return;
    if (d_->att.Attached())
        d_->Drop(); // the connection broke: nothing of it can be committed any more
    d_->att.Attach(QFile::encodeName(d_->name).toStdString(), d_->credentials.user.toStdString(),
                   d_->credentials.password.toStdString());
    d_->broken = false;
    d_->dialect = 3;
    try {
        const int own = d_->att.Info().sqlDialect;
        if (own > 0 && own < d_->dialect)
            d_->dialect = own;
    } catch (const fb::Error&) {
        // the dialect stays 3
    }
    emit AfterConnect();
}

void TDatabase::Close() {
    if (d_->att.Attached() && d_->att.Lost()) {
        d_->Drop();
        return;
    }
    d_->broken = false; // closed on purpose: it stays closed until something opens it
    if (!Connected())
        return;
    std::exception_ptr first;
    const auto keep = [&first] {
        if (!first)
            first = std::current_exception();
    };
    for (TSharedTransaction* t : d_->transactions) {
        try {
            t->impl()->EndClients();
        } catch (...) {
            keep();
        }
        try {
            t->impl()->tr.Commit();
        } catch (...) {
            keep();
            t->impl()->tr.Abandon(); // rolled back: the attachment cannot go with it open
        }
    }
    try {
        d_->att.Detach();
    } catch (...) {
        keep();
        d_->att.Abandon();
    }
    if (first)
        std::rethrow_exception(first);
}

TDatabaseInfo TDatabase::Info() const {
    if (!Connected())
        throw fb::Error(kNotOpen);
    const fb::DbInfo i = d_->att.Info();
    TDatabaseInfo info;
    info.serverVersion = QString::fromUtf8(i.version);
    info.odsVersion = i.odsVersion;
    info.odsMinorVersion = i.odsMinorVersion;
    info.pageSize = i.pageSize;
    info.allocation = i.allocation;
    info.sqlDialect = i.sqlDialect;
    return info;
}

// --- TSharedTransaction ----------------------------------------------------------------

void TSharedTransaction::Impl::EndClients() {
    // Every client is ended even when a handler of one of them throws; the first error
    // travels on afterwards.
    std::exception_ptr first;
    const auto copy = clients;
    for (TTransactionClient* c : copy) {
        if (std::find(clients.begin(), clients.end(), c) == clients.end())
            continue; // went away meanwhile
        try {
            c->TransactionEnded();
        } catch (...) {
            if (!first)
                first = std::current_exception();
        }
    }
    if (first)
        std::rethrow_exception(first);
}

void TSharedTransaction::Impl::LoseClients() noexcept {
    const auto copy = clients;
    for (TTransactionClient* c : copy) {
        if (std::find(clients.begin(), clients.end(), c) == clients.end())
            continue;
        try {
            c->ConnectionLost();
        } catch (const std::exception& e) {
            qWarning("After a lost connection: %s", e.what());
        } catch (...) {
        }
    }
}

void TSharedTransaction::Impl::EnsureActive() {
    if (!db.Connected())
        db.Open();
    if (!tr.Active())
        Start();
}

void TSharedTransaction::Impl::Start() {
    try {
        tr.Start(db.impl()->att, fb::Transaction::SharedTpb());
    } catch (const fb::ConnectionError&) {
        // A server that went away since the last action and is back: starting a transaction has
        // changed nothing yet, so it is tried once more on a new connection.
        if (!db.impl()->att.Lost())
            throw;
        db.Open();
        tr.Start(db.impl()->att, fb::Transaction::SharedTpb());
    }
}

TSharedTransaction::TSharedTransaction(TDatabase& db, QObject* parent)
    : QObject(parent), d_(std::make_unique<Impl>(db)) {
    db.impl()->transactions.push_back(this);
}

TSharedTransaction::~TSharedTransaction() {
    std::erase(d_->db.impl()->transactions, this);
    if (d_->tr.Active()) {
        try {
            d_->EndClients();
            d_->tr.Commit();
        } catch (const std::exception& e) {
            qWarning("Committing the transaction: %s", e.what());
        }
    }
}

bool TSharedTransaction::InTransaction() const {
    return d_->tr.Active();
}

void TSharedTransaction::StartTransaction() {
    // A connection that broke is made anew; one that was closed stays closed.
    const TDatabase::Impl& db = *d_->db.impl();
    if (!d_->db.Connected() && (db.broken || db.att.Lost()))
        d_->db.Open();
    if (!d_->db.Connected())
        throw fb::Error(kNotOpen);
    if (d_->tr.Active())
        return;
    d_->Start();
}

void TSharedTransaction::Commit() {
    if (!d_->tr.Active())
        return;
    for (TTransactionClient* c : d_->clients)
        c->TransactionEnding();
    d_->tr.Commit(); // a failed commit leaves everything as it was
    std::exception_ptr handlerError;
    try {
        d_->EndClients();
    } catch (...) {
        handlerError = std::current_exception();
    }
    emit Committed();
    if (handlerError)
        std::rethrow_exception(handlerError);
}

void TSharedTransaction::CommitRetaining() {
    d_->tr.CommitRetaining();
}

// --- TWriteScope ----------------------------------------------------------------------

TWriteScope::TWriteScope(TSharedTransaction& transaction) : transaction_(transaction) {
    if (!transaction_.InTransaction())
        transaction_.StartTransaction();
}

void TWriteScope::Commit() {
    if (transaction_.InTransaction())
        transaction_.Commit();
}

// --- TQuery ----------------------------------------------------------------------------

struct TQuery::Impl : TTransactionClient {
    Impl(TDatabase& d, TSharedTransaction& t, const QString& n) : db(d), tr(t), name(n) {}
    TDatabase& db;
    TSharedTransaction& tr;
    QString name;
    QStringList sql;
    QList<QPair<QString, QString>> blobParams;
    std::unique_ptr<fb::Statement> stmt;
    QStringList paramNames;
    bool active = false;
    bool hasRow = false;
    bool eof = true;

    void TransactionEnded() override {
        active = false;
        hasRow = false;
        eof = true;
        stmt.reset();
    }
    void CloseResult() {
        active = false;
        hasRow = false;
        eof = true;
        if (stmt)
            stmt->CloseCursor();
    }
    void Run() {
        QString text = sql.join('\n');
        if (sql.isEmpty() || text.trimmed().isEmpty())
            throw fb::Error("Empty SQL Statement");
        CloseResult();
        tr.impl()->EnsureActive();
        if (!stmt || !stmt->Prepared()) {
            const TTranslatedSql translated = TranslateNamedParams(text);
            auto s = std::make_unique<fb::Statement>(db.impl()->att);
            s->Prepare(tr.impl()->tr, translated.sql, db.SqlDialect());
            paramNames = translated.names;
            stmt = std::move(s);
        }
        for (int i = 0; i < stmt->ParamCount(); ++i) {
            const QString name = i < paramNames.size() ? paramNames[i] : QString();
            stmt->SetNull(i);
            for (const auto& p : blobParams)
                if (!name.isEmpty() && p.first.compare(name, Qt::CaseInsensitive) == 0) {
                    if (stmt->ParamIsBlob(i))
                        stmt->SetBlobData(i, p.second.toUtf8());
                    else
                        stmt->SetText(i, p.second.toUtf8()); // the server converts the text
                }
        }
        stmt->Execute(tr.impl()->tr);
    }
    int Column(const QString& field) const {
        if (!active || !stmt)
            ThrowFieldNotFound(name, field);
        const int c = stmt->FindColumn(field);
        if (c < 0)
            ThrowFieldNotFound(name, field);
        return c;
    }
};

TQuery::TQuery(TDatabase& db, TSharedTransaction& tr, const QString& name, QObject* parent)
    : QObject(parent), d_(std::make_unique<Impl>(db, tr, name)) {
    setObjectName(name);
    tr.impl()->Add(d_.get());
}

TQuery::~TQuery() {
    d_->tr.impl()->Remove(d_.get());
    d_->stmt.reset();
}

void TQuery::SetSQL(const QStringList& lines) {
    d_->CloseResult();
    d_->stmt.reset();
    d_->blobParams.clear();
    d_->sql = lines;
}

QStringList TQuery::SQL() const {
    return d_->sql;
}

void TQuery::SetBlobParam(const QString& name, const QString& text) {
    for (auto& p : d_->blobParams)
        if (p.first.compare(name, Qt::CaseInsensitive) == 0) {
            p.second = text;
            return;
        }
    d_->blobParams.append({name, text});
}

void TQuery::ExecSQL() {
    d_->Run();
    d_->stmt->CloseCursor();
}

void TQuery::Open() {
    if (d_->active)
        return;
    d_->Run();
    if (!d_->stmt->IsSelect())
        return;
    d_->active = true;
    d_->hasRow = d_->stmt->Fetch();
    d_->eof = !d_->hasRow;
}

void TQuery::Close() {
    d_->CloseResult();
}
bool TQuery::Active() const {
    return d_->active;
}
bool TQuery::Eof() const {
    return !d_->active || d_->eof;
}

void TQuery::Next() {
    if (!d_->active || d_->eof)
        return;
    if (!d_->stmt->Fetch())
        d_->eof = true; // the last row's values stay current
}

bool TQuery::FieldIsNull(const QString& name) const {
    const int c = d_->Column(name);
    return !d_->hasRow || d_->stmt->IsNull(c);
}

QString TQuery::FieldAsString(const QString& name) const {
    const int c = d_->Column(name);
    if (!d_->hasRow || d_->stmt->IsNull(c))
        return {};
    if (d_->stmt->ColumnType(c) == SQL_BLOB) {
        const QByteArray data = fb::ReadBlob(d_->db.impl()->att, d_->tr.impl()->tr, d_->stmt->AsBlobId(c));
        return d_->stmt->ColumnSubType(c) == 1 ? QString::fromUtf8(data) : QString::fromLatin1(data);
    }
    return d_->stmt->AsString(c);
}

qint64 TQuery::FieldAsInteger(const QString& name) const {
    const int c = d_->Column(name);
    if (!d_->hasRow || d_->stmt->IsNull(c))
        return 0;
    return d_->stmt->AsInt64(c);
}

// --- TDataModuleNotizen ----------------------------------------------------------------

namespace {
QString WithTrailingSeparator(QString dir) {
    if (dir.isEmpty())
        dir = QFileInfo(QCoreApplication::applicationFilePath()).absolutePath();
    if (!dir.endsWith('/'))
        dir += '/';
    return dir;
}
} // namespace

TDataModuleNotizen::TDataModuleNotizen(const QString& programDirectory, QObject* parent)
    : QObject(parent), programDirectory_(WithTrailingSeparator(programDirectory)),
      database_(std::make_unique<TDatabase>()),
      transaction_(std::make_unique<TSharedTransaction>(*database_)),
      queryNotizen_(std::make_unique<TQuery>(*database_, *transaction_, "QueryNotizen")),
      queryInternes_(std::make_unique<TQuery>(*database_, *transaction_, "QueryInternes")),
      notizliste_(std::make_unique<TNotizListe>(*database_, *transaction_)), Database(*database_),
      SharedTransaction(*transaction_), QueryNotizen(*queryNotizen_), QueryInternes(*queryInternes_),
      DataSetNotizliste(*notizliste_) {
    setObjectName("DataModuleNotizen");
    database_->setObjectName("Database");
    transaction_->setObjectName("SharedTransaction");
    notizliste_->setObjectName("DataSetNotizliste");
    queryInternes_->SetSQL({"select * from TBLINTERNA"});
    database_->SetDatabaseName(DatabaseFileName());
    connect(database_.get(), &TDatabase::AfterConnect, this, [this] {
        AfterConnect();
        emit Connected(database_->DatabaseName());
    });
}

void TDataModuleNotizen::AfterConnect() {
    fb::Attachment& att = database_->impl()->att;
    try {
        schema_ = UpgradeSchema(att, database_->SqlDialect());
    } catch (const std::exception& e) {
        // The connection broke at once: the next action connects again and tries anew.
        qWarning("Checking the schema of the notes database: %s", e.what());
        return;
    }
    if (schema_.state == TSchemaState::Unavailable || schema_.state == TSchemaState::Busy)
        qWarning("The trash is not available: %s", qPrintable(schema_.detail));
    if (trashPurged_ || !schema_.TrashAvailable())
        return;
    try {
        {
            // A look first: a commit that wrote nothing would still cost the start-up a write.
            fb::Transaction look;
            look.Start(att, fb::Transaction::ReadOnlyTpb());
            fb::Statement old(att);
            old.Prepare(look, OldEntriesStatement(schema_.version), database_->SqlDialect());
            old.Execute(look);
            const bool any = old.Fetch() && old.AsInt64(0) > 0;
            old.CloseCursor();
            look.Commit();
            if (!any) {
                trashPurged_ = true;
                return;
            }
        }
        fb::Transaction tr;
        tr.Start(att, fb::Transaction::SharedTpb());
        fb::Statement purge(att);
        purge.Prepare(tr, PurgeTrashStatement(), database_->SqlDialect());
        purge.Execute(tr);
        // The change journal's old entries go with the trash's.
        if (schema_.version >= kJournalVersion) {
            fb::Statement journal(att);
            journal.Prepare(tr, PurgeJournalStatement(), database_->SqlDialect());
            journal.Execute(tr);
        }
        tr.Commit();
        trashPurged_ = true;
    } catch (const std::exception& e) {
        // Another program empties it at the same moment, or the account may not: next time.
        qWarning("Emptying the trash of old notes: %s", e.what());
    }
}

TDataModuleNotizen::~TDataModuleNotizen() {
    try {
        Close();
    } catch (const std::exception& e) {
        qWarning("Closing the notes database: %s", e.what());
    }
}

void TDataModuleNotizen::UseDatabase(const QString& database, const TCredentials& credentials) {
    configuredDatabase_ = database;
    credentials_ = credentials;
    database_->SetDatabaseName(DatabaseFileName());
    database_->SetCredentials(credentials_);
}

void TDataModuleNotizen::Close() {
    notizliste_->Close();
    queryNotizen_->Close();
    queryInternes_->Close();
    // A broken connection has nothing left to commit (every save was committed at once);
    // closing lets go of it.
    if (transaction_->InTransaction() && database_->Connected()) {
        try {
            transaction_->Commit();
        } catch (const fb::ConnectionError& e) {
            qWarning("Closing the notes database: %s", e.what());
        }
    }
    database_->Close();
}

bool TDataModuleNotizen::DataModuleCreate() {
    database_->SetDatabaseName(DatabaseFileName());
    database_->SetCredentials(credentials_);
    lastConnectError_.clear();
    lastConnectFault_.clear();
    try {
        database_->Open();
        if (schema_.state != TSchemaState::NotNotes)
            return true;
        database_->Close();
        lastConnectError_ = lastConnectFault_ =
            QStringLiteral(
                "Die Datenbank „%1“ enthält keine Notizen von Zettelwerk (die Tabelle TBLNOTIZEN fehlt)")
                .arg(DatabaseFileName());
        return false;
    } catch (const fb::ConnectionError& e) {
        lastConnectFault_ = QString::fromUtf8(e.what());
        try {
            e.rethrow_nested();
        } catch (const std::exception& cause) {
            lastConnectError_ = QString::fromUtf8(cause.what());
        } catch (...) {
        }
        return false;
    } catch (const std::exception& e) {
        lastConnectError_ = QString::fromUtf8(e.what());
        return false;
    }
}

bool TDataModuleNotizen::TrashAvailable() {
    if (!schema_.TrashAvailable() && schema_.found > 0) {
        const int version = ReadSchemaVersion(ConnectedAttachment(*this), database_->SqlDialect());
        if (version > schema_.version)
            schema_.version = version;
    }
    return schema_.TrashAvailable();
}

QString TDataModuleNotizen::LastConnectError() const {
    return lastConnectError_;
}
QString TDataModuleNotizen::LastConnectFault() const {
    return lastConnectFault_;
}
bool TDataModuleNotizen::IsServer() const {
    return !configuredDatabase_.isEmpty() &&
           fb::ParseConnectionText(QFile::encodeName(configuredDatabase_).toStdString()).Remote();
}

TDatabaseInfo TDataModuleNotizen::DatabaseInfo() {
    if (database_->impl()->att.Lost())
        database_->Open();
    return Database.Info();
}
QString TDataModuleNotizen::ProgramDirectory() const {
    return programDirectory_;
}
QString TDataModuleNotizen::DatabaseFileName() const {
    return configuredDatabase_.isEmpty() ? programDirectory_ + kDatabaseFileName : configuredDatabase_;
}

void TDataModuleNotizen::RunInSharedTransaction(TQuery& query, const QStringList& sql) {
    TWriteScope write(SharedTransaction);
    query.SetSQL(sql);
    query.ExecSQL();
    write.Commit();
}

void TDataModuleNotizen::SaveNewNote(const QString& title, const QString& text) {
    TWriteScope write(SharedTransaction);
    QueryNotizen.ClearSQL();
    QueryNotizen.SetSQL({BuildInsertStatement()});
    QueryNotizen.SetTextParam(QStringLiteral("TitelParam"), title);
    QueryNotizen.SetBlobParam(QStringLiteral("TextParam"), text);
    QueryNotizen.ExecSQL();
    write.Commit();
}

void TDataModuleNotizen::DeleteNote(qint64 id) {
    TWriteScope write(SharedTransaction);
    QueryNotizen.ClearSQL();
    QueryNotizen.SetSQL({BuildDeleteStatement(id)});
    QueryNotizen.ExecSQL();
    write.Commit();
}

void TDataModuleNotizen::OpenNoteList(const QString& selectSql) {
    DataSetNotizliste.Close();
    DataSetNotizliste.SetSelectSQL(selectSql);
    DataSetNotizliste.Open();
}

void TDataModuleNotizen::ListNotes() {
    OpenNoteList(kSelectAllNotes);
}
void TDataModuleNotizen::ListNotesByTitle() {
    OpenNoteList(kSelectAllNotesByTitle);
}
void TDataModuleNotizen::SearchNotes(const QString& term) {
    OpenNoteList(SearchStatement(term));
}
void TDataModuleNotizen::ListNoteIds(const QString& term, const std::vector<qint64>& ids) {
    DataSetNotizliste.OpenIds(QStringLiteral("-- found in memory: ") + term, ids);
}

QString ClientVersionNumbers(const QString& text) {
    // "LI-V6.3.11.33637 Firebird 3.0": the V part carries the old compatible major and minor
    // numbers, then the patch level and the build; the product version follows the name.
    const QRegularExpressionMatch full =
        QRegularExpression(R"(V\d+\.\d+\.(\d+)\.(\d+)\s+Firebird\s+(\d+)\.(\d+))").match(text);
    if (full.hasMatch())
        return full.captured(3) + '.' + full.captured(4) + '.' + full.captured(1) + '.' + full.captured(2);
    const QRegularExpressionMatch any = QRegularExpression(R"((\d+(?:\.\d+)+))").match(text);
    return any.hasMatch() ? any.captured(1) : text;
}

QString TDataModuleNotizen::ClientLibraryVersion() {
    try {
        char buf[256] = {0};
        fb::Client().isc_get_client_version(buf);
        return ClientVersionNumbers(QString::fromLatin1(buf));
    } catch (const std::exception&) {
        return {};
    }
}
