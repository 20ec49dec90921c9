#pragma once
// RAII owners of the Firebird handles: attachment, transaction, DSQL statement, blobs.
// Every failure raises fb::Error.
#include "store/fb/FbApi.h"
#include "store/fb/FbError.h"

#include <QByteArray>
#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fb {

// A blob id as carried in a column or parameter.
struct BlobId {
    ISC_QUAD quad{0, 0};
    bool operator==(const BlobId& o) const {
        return quad.gds_quad_high == o.quad.gds_quad_high && quad.gds_quad_low == o.quad.gds_quad_low;
    }
};

// Numeric database information items (little-endian integers) and the version text.
struct DbInfo {
    std::string version; // first string of item isc_info_version
    int odsVersion = 0;
    int odsMinorVersion = 0;
    int pageSize = 0;
    long long allocation = 0;
    int sqlDialect = 0;
};

class Attachment {
public:
    Attachment() = default;
    ~Attachment(); // detaches quietly
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;

    // DPB with exactly the user name and the password. A server that cannot be reached or
    // refuses the account raises ConnectionError.
    void Attach(const std::string& path, const std::string& user, const std::string& password);
    void Detach();
    // Detaches quietly and forgets the handle, also when the server refuses: after a lost
    // connection the program must be able to attach again.
    void Abandon() noexcept;
    bool Attached() const { return handle_ != 0; }
    isc_db_handle* Handle() { return &handle_; }
    const std::string& Path() const { return path_; }

    // The connection to the server broke: every later use raises ConnectionError at once,
    // without asking the server, until the attachment is abandoned.
    bool Lost() const { return lost_; }
    // Raises Error for a status holding an error; a broken connection marks the attachment
    // lost and raises ConnectionError.
    void Check(const ISC_STATUS* status);
    void RequireAlive() const;

    DbInfo Info();

private:
    isc_db_handle handle_ = 0;
    std::string path_;
    bool lost_ = false;
    std::string lostText_; // the client library's words when the connection broke
};

class Transaction {
public:
    Transaction() = default;
    ~Transaction(); // rolls back quietly when still active
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void Start(Attachment& db, const std::string& tpb);
    void Commit();
    void CommitRetaining();
    void Rollback();
    void Abandon() noexcept; // rolls back quietly and forgets the handle
    bool Active() const { return handle_ != 0; }
    isc_tr_handle* Handle() { return &handle_; }

    // read_committed, rec_version, nowait: bytes 3, 15, 17, 7.
    static std::string SharedTpb();
    // Read committed, read only, no wait: its commit writes nothing.
    static std::string ReadOnlyTpb();

private:
    isc_tr_handle handle_ = 0;
    Attachment* db_ = nullptr; // the attachment it was started on
};

// Blobs: the whole content written at once or read at once.
BlobId WriteBlob(Attachment& db, Transaction& tr, const QByteArray& data);
QByteArray ReadBlob(Attachment& db, Transaction& tr, const BlobId& id);

// Timestamps: days since 17 Nov 1858 and ten-thousandths of a second.
QDateTime ToDateTime(const ISC_TIMESTAMP& ts);
ISC_TIMESTAMP ToTimestamp(const QDateTime& dt);

// A DSQL statement with input and output XSQLDA.
class Statement {
public:
    explicit Statement(Attachment& db);
    ~Statement(); // frees quietly
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Allocates, prepares and describes output and input. Parameters are '?'.
    void Prepare(Transaction& tr, const QString& sql, int dialect);
    bool Prepared() const { return handle_ != 0; }
    int Type() const { return type_; } // isc_info_sql_stmt_*
    bool IsSelect() const;

    // --- input (reset after every Execute is not done: values stay until set again)
    int ParamCount() const;
    void ClearParams();
    void SetNull(int i);
    void SetInt64(int i, qint64 v);
    void SetDouble(int i, double v);
    // A text for a blob parameter becomes a blob; for any other at most kMaxTextBytes bytes.
    static constexpr int kMaxTextBytes = 32767;
    void SetText(int i, const QByteArray& utf8);
    void SetTimestamp(int i, const ISC_TIMESTAMP& ts);
    void SetBlobId(int i, const BlobId& id);
    void SetBlobData(int i, const QByteArray& data); // a new blob, written at Execute
    // Null, integers, double, QString, QByteArray, QDateTime, BlobId.
    void SetValue(int i, const QVariant& v);
    bool ParamIsBlob(int i) const;

    // Runs the statement; for a select the cursor is open afterwards.
    void Execute(Transaction& tr);
    bool Fetch(); // false at the end
    void CloseCursor();
    bool CursorOpen() const { return cursorOpen_; }
    void Free(); // releases the prepared statement (quietly)

    // --- output of the current row
    int ColumnCount() const;
    QString ColumnName(int c) const;           // alias name
    int FindColumn(const QString& name) const; // case-insensitive, -1 when missing
    short ColumnType(int c) const;             // sqltype without the null flag
    short ColumnSubType(int c) const;
    bool IsNull(int c) const;
    qint64 AsInt64(int c) const;
    QString AsString(int c) const; // blobs are not read here: use ReadBlob
    // The bytes of a text column as they came (no character set applied, trailing blanks of a
    // CHAR kept); valid until the next fetch. Empty for null and for other types.
    std::string_view TextBytes(int c) const;
    BlobId AsBlobId(int c) const;
    ISC_TIMESTAMP AsTimestamp(int c) const;
    QVariant Value(int c) const; // blobs come as BlobId

private:
    struct Param;
    XSQLVAR& OutVar(int c) const;
    void Describe();
    Param& In(int i);

    Attachment& db_;
    isc_stmt_handle handle_ = 0;
    int type_ = 0;
    int dialect_ = 3;
    bool cursorOpen_ = false;
    std::unique_ptr<char[]> outDa_;
    std::unique_ptr<char[]> inDa_;
    std::vector<std::vector<char>> outBuf_;
    std::vector<short> outInd_;
    std::vector<Param> params_;
    std::vector<XSQLVAR> inDesc_; // input as described, restored before every Execute
};

} // namespace fb

Q_DECLARE_METATYPE(fb::BlobId)
