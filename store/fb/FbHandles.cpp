#include "store/fb/FbHandles.h"

#include "store/fb/FbConnection.h"

#include <QDate>
#include <QTime>
#include <cstring>

namespace fb {

namespace {

using Status = ISC_STATUS_ARRAY;

// Little-endian integer of the given length, as in information answers.
long long LeInt(const char* p, int len) {
    unsigned long long v = 0;
    for (int i = len - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(p[i]);
    if (len > 0 && len < 8 && (static_cast<unsigned char>(p[len - 1]) & 0x80))
        v |= ~0ULL << (8 * len); // sign-extend
    return static_cast<long long>(v);
}

XSQLDA* Da(const std::unique_ptr<char[]>& p) {
    return reinterpret_cast<XSQLDA*>(p.get());
}

std::unique_ptr<char[]> NewDa(int n) {
    if (n < 1)
        n = 1;
    auto p = std::make_unique<char[]>(XSQLDA_LENGTH(n));
    std::memset(p.get(), 0, XSQLDA_LENGTH(n));
    XSQLDA* da = reinterpret_cast<XSQLDA*>(p.get());
    da->version = SQLDA_VERSION1;
    da->sqln = static_cast<ISC_SHORT>(n);
    return p;
}

constexpr int kJulianOfBase = 2400001; // Julian day of 17 Nov 1858

QString ScaledToString(qint64 v, int scale) {
    if (scale >= 0) {
        QString s = QString::number(v);
        for (int i = 0; i < scale; ++i)
            s += '0';
        return s;
    }
    const bool neg = v < 0;
    QString digits = QString::number(neg ? -static_cast<quint64>(v) : static_cast<quint64>(v));
    const int places = -scale;
    while (digits.size() <= places)
        digits.prepend('0');
    digits.insert(digits.size() - places, '.');
    return neg ? "-" + digits : digits;
}

} // namespace

// --- Attachment ------------------------------------------------------------------------

Attachment::~Attachment() {
    Abandon();
}

void Attachment::Abandon() noexcept {
    if (handle_) {
        Status st;
        Client().isc_detach_database(st, &handle_);
        handle_ = 0;
    }
    lost_ = false;
    lostText_.clear();
}

void Attachment::Check(const ISC_STATUS* status) {
    if (status[0] != 1 || status[1] == 0)
        return;
    const Error e = ErrorOf(reinterpret_cast<const long*>(status));
    const Fault fault = ClassifyFault(e.Codes());
    if (fault == Fault::None)
        throw e;
    // Whatever broke the connection, the attachment is of no further use.
    lost_ = true;
    lostText_ = e.what();
    ThrowConnectionError(e, Fault::Lost, path_);
}

void Attachment::RequireAlive() const {
    if (lost_)
        ThrowConnectionError(Error(lostText_, isc_net_read_err, 0, {isc_net_read_err}), Fault::Lost, path_);
}

void Attachment::Attach(const std::string& path, const std::string& user, const std::string& password) {
    if (handle_)
        throw Error("Database already attached");
    std::string dpb;
    dpb += char(isc_dpb_version1);
    dpb += char(isc_dpb_user_name);
    dpb += char(user.size());
    dpb += user;
    dpb += char(isc_dpb_password);
    dpb += char(password.size());
    dpb += password;
    Status st;
    isc_db_handle h = 0;
    Client().isc_attach_database(st, 0, path.c_str(), &h, static_cast<short>(dpb.size()), dpb.data());
    if (st[0] == 1 && st[1]) {
        const Error e = ErrorOf(reinterpret_cast<const long*>(st));
        const Fault fault = ClassifyFault(e.Codes());
        if (fault == Fault::None)
            throw e;
        ThrowConnectionError(e, fault, path);
    }
    handle_ = h;
    path_ = path;
    lost_ = false;
}

void Attachment::Detach() {
    if (!handle_)
        return;
    if (lost_) {
        Abandon();
        return;
    }
    Status st;
    Client().isc_detach_database(st, &handle_);
    Check(st);
    handle_ = 0;
}

DbInfo Attachment::Info() {
    if (!handle_)
        throw Error("Cannot perform operation -- DB is not open");
    const char items[] = {isc_info_version,   isc_info_ods_version, isc_info_ods_minor_version,
                          isc_info_page_size, isc_info_allocation,  isc_info_db_sql_dialect,
                          isc_info_end};
    RequireAlive();
    char buf[1024];
    Status st;
    Client().isc_database_info(st, &handle_, sizeof items, items, sizeof buf, buf);
    Check(st);
    DbInfo info;
    const char* p = buf;
    const char* end = buf + sizeof buf;
    while (p + 3 <= end && *p != isc_info_end && *p != isc_info_truncated) {
        const char item = *p;
        const int len = static_cast<int>(LeInt(p + 1, 2));
        const char* data = p + 3;
        if (data + len > end)
            break;
        switch (item) {
        case isc_info_version:
            // count byte, then strings each preceded by a length byte; the first one counts
            if (len >= 2) {
                const int slen = static_cast<unsigned char>(data[1]);
                if (2 + slen <= len)
                    info.version.assign(data + 2, slen);
            }
            break;
        case isc_info_ods_version:
            info.odsVersion = static_cast<int>(LeInt(data, len));
            break;
        case isc_info_ods_minor_version:
            info.odsMinorVersion = static_cast<int>(LeInt(data, len));
            break;
        case isc_info_page_size:
            info.pageSize = static_cast<int>(LeInt(data, len));
            break;
        case isc_info_allocation:
            info.allocation = LeInt(data, len);
            break;
        case isc_info_db_sql_dialect:
            info.sqlDialect = static_cast<int>(LeInt(data, len));
            break;
        default:
            break;
        }
        p = data + len;
    }
    return info;
}

// --- Transaction -----------------------------------------------------------------------

Transaction::~Transaction() {
    Abandon();
}

void Transaction::Abandon() noexcept {
    if (handle_) {
        Status st;
        Client().isc_rollback_transaction(st, &handle_);
        handle_ = 0;
    }
}

std::string Transaction::SharedTpb() {
    return std::string{char(isc_tpb_version3), char(isc_tpb_read_committed), char(isc_tpb_rec_version),
                       char(isc_tpb_nowait)};
}

std::string Transaction::ReadOnlyTpb() {
    return std::string{char(isc_tpb_version3), char(isc_tpb_read), char(isc_tpb_read_committed),
                       char(isc_tpb_rec_version), char(isc_tpb_nowait)};
}

namespace {
struct Teb {
    isc_db_handle* db;
    long tpbLength;
    const char* tpb;
};
} // namespace

void Transaction::Start(Attachment& db, const std::string& tpb) {
    if (handle_)
        throw Error("Transaction is active");
    db.RequireAlive();
    Teb teb{db.Handle(), static_cast<long>(tpb.size()), tpb.data()};
    Status st;
    isc_tr_handle h = 0;
    Client().isc_start_multiple(st, &h, 1, &teb);
    db.Check(st);
    handle_ = h;
    db_ = &db;
}

void Transaction::Commit() {
    if (!handle_)
        return;
    db_->RequireAlive();
    Status st;
    Client().isc_commit_transaction(st, &handle_);
    db_->Check(st);
    handle_ = 0;
}

void Transaction::CommitRetaining() {
    if (!handle_)
        return;
    db_->RequireAlive();
    Status st;
    Client().isc_commit_retaining(st, &handle_);
    db_->Check(st);
}

void Transaction::Rollback() {
    if (!handle_)
        return;
    db_->RequireAlive();
    Status st;
    Client().isc_rollback_transaction(st, &handle_);
    db_->Check(st);
    handle_ = 0;
}

// --- Blobs -----------------------------------------------------------------------------

BlobId WriteBlob(Attachment& db, Transaction& tr, const QByteArray& data) {
    db.RequireAlive();
    const Api& api = Client();
    Status st;
    isc_blob_handle blob = 0;
    BlobId id;
    api.isc_create_blob2(st, db.Handle(), tr.Handle(), &blob, &id.quad, 0, nullptr);
    db.Check(st);
    qsizetype pos = 0;
    while (pos < data.size()) {
        const unsigned short n = static_cast<unsigned short>(qMin<qsizetype>(data.size() - pos, 32768));
        api.isc_put_segment(st, &blob, n, data.constData() + pos);
        if (st[0] == 1 && st[1]) {
            Status st2;
            api.isc_cancel_blob(st2, &blob);
            db.Check(st);
        }
        pos += n;
    }
    api.isc_close_blob(st, &blob);
    db.Check(st);
    return id;
}

QByteArray ReadBlob(Attachment& db, Transaction& tr, const BlobId& id) {
    db.RequireAlive();
    const Api& api = Client();
    Status st;
    isc_blob_handle blob = 0;
    ISC_QUAD quad = id.quad;
    api.isc_open_blob2(st, db.Handle(), tr.Handle(), &blob, &quad, 0, nullptr);
    db.Check(st);
    QByteArray out;
    char buf[32768];
    for (;;) {
        unsigned short got = 0;
        const ISC_STATUS rc = api.isc_get_segment(st, &blob, &got, sizeof buf, buf);
        if (rc == 0 || rc == isc_segment) {
            out.append(buf, got);
            continue;
        }
        if (rc == isc_segstr_eof)
            break;
        Status st2;
        api.isc_close_blob(st2, &blob);
        db.Check(st);
    }
    api.isc_close_blob(st, &blob);
    db.Check(st);
    return out;
}

QDateTime ToDateTime(const ISC_TIMESTAMP& ts) {
    const QDate date = QDate::fromJulianDay(static_cast<qint64>(ts.timestamp_date) + kJulianOfBase);
    const int msec = static_cast<int>(ts.timestamp_time / 10);
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(msec));
}

ISC_TIMESTAMP ToTimestamp(const QDateTime& dt) {
    ISC_TIMESTAMP ts;
    ts.timestamp_date = static_cast<ISC_DATE>(dt.date().toJulianDay() - kJulianOfBase);
    ts.timestamp_time = static_cast<ISC_TIME>(dt.time().msecsSinceStartOfDay()) * 10;
    return ts;
}

// --- Statement -------------------------------------------------------------------------

struct Statement::Param {
    enum Kind { Null, Int, Double, Text, Timestamp, Blob, BlobData } kind = Null;
    qint64 i = 0;
    double d = 0;
    QByteArray bytes;
    ISC_TIMESTAMP ts{};
    BlobId blob;
    // buffers the XSQLVAR points at during Execute
    std::vector<char> buf;
    short ind = 0;
};

Statement::Statement(Attachment& db) : db_(db) {}

Statement::~Statement() {
    Free();
}

void Statement::Free() {
    cursorOpen_ = false;
    if (handle_) {
        Status st;
        Client().isc_dsql_free_statement(st, &handle_, DSQL_drop);
        handle_ = 0;
    }
    outDa_.reset();
    inDa_.reset();
    inDesc_.clear();
    outBuf_.clear();
    outInd_.clear();
    params_.clear();
    type_ = 0;
}

void Statement::Prepare(Transaction& tr, const QString& sql, int dialect) {
    Free();
    db_.RequireAlive();
    const Api& api = Client();
    Status st;
    api.isc_dsql_allocate_statement(st, db_.Handle(), &handle_);
    db_.Check(st);
    dialect_ = dialect;
    outDa_ = NewDa(16);
    const QByteArray text = sql.toUtf8();
    api.isc_dsql_prepare(st, tr.Handle(), &handle_, 0, text.constData(), static_cast<unsigned short>(dialect),
                         Da(outDa_));
    if (st[0] == 1 && st[1]) {
        Status st2;
        api.isc_dsql_free_statement(st2, &handle_, DSQL_drop);
        handle_ = 0;
        outDa_.reset();
        db_.Check(st);
    }
    try {
        Describe();
    } catch (...) {
        Free();
        throw;
    }
}

void Statement::Describe() {
    const Api& api = Client();
    Status st;
    // statement type
    const char item[] = {isc_info_sql_stmt_type};
    char res[16];
    api.isc_dsql_sql_info(st, &handle_, sizeof item, item, sizeof res, res);
    db_.Check(st);
    type_ = 0;
    if (res[0] == isc_info_sql_stmt_type) {
        const int len = static_cast<int>(LeInt(res + 1, 2));
        type_ = static_cast<int>(LeInt(res + 3, len));
    }
    // output
    if (Da(outDa_)->sqld > Da(outDa_)->sqln) {
        outDa_ = NewDa(Da(outDa_)->sqld);
        api.isc_dsql_describe(st, &handle_, SQLDA_VERSION1, Da(outDa_));
        db_.Check(st);
    }
    XSQLDA* out = Da(outDa_);
    outBuf_.assign(out->sqld, {});
    outInd_.assign(out->sqld, 0);
    for (int c = 0; c < out->sqld; ++c) {
        XSQLVAR& v = out->sqlvar[c];
        size_t size = v.sqllen;
        if ((v.sqltype & ~1) == SQL_VARYING)
            size += 2;
        outBuf_[c].assign(size + 1, 0);
        v.sqldata = outBuf_[c].data();
        v.sqlind = &outInd_[c];
    }
    // input
    inDa_ = NewDa(8);
    api.isc_dsql_describe_bind(st, &handle_, SQLDA_VERSION1, Da(inDa_));
    db_.Check(st);
    if (Da(inDa_)->sqld > Da(inDa_)->sqln) {
        inDa_ = NewDa(Da(inDa_)->sqld);
        api.isc_dsql_describe_bind(st, &handle_, SQLDA_VERSION1, Da(inDa_));
        db_.Check(st);
    }
    params_.assign(Da(inDa_)->sqld, Param{});
    inDesc_.assign(Da(inDa_)->sqlvar, Da(inDa_)->sqlvar + Da(inDa_)->sqld);
}

bool Statement::IsSelect() const {
    return type_ == isc_info_sql_stmt_select || type_ == isc_info_sql_stmt_select_for_upd;
}

int Statement::ParamCount() const {
    return inDa_ ? Da(inDa_)->sqld : 0;
}

void Statement::ClearParams() {
    for (Param& p : params_)
        p = Param{};
}

Statement::Param& Statement::In(int i) {
    if (i < 0 || i >= static_cast<int>(params_.size()))
        throw Error("Parameter index out of range");
    return params_[i];
}

bool Statement::ParamIsBlob(int i) const {
    if (i < 0 || i >= static_cast<int>(inDesc_.size()))
        return false;
    return (inDesc_[i].sqltype & ~1) == SQL_BLOB;
}

void Statement::SetNull(int i) {
    In(i) = Param{};
}
void Statement::SetInt64(int i, qint64 v) {
    Param& p = In(i);
    p = Param{};
    p.kind = Param::Int;
    p.i = v;
}
void Statement::SetDouble(int i, double v) {
    Param& p = In(i);
    p = Param{};
    p.kind = Param::Double;
    p.d = v;
}
void Statement::SetText(int i, const QByteArray& utf8) {
    Param& p = In(i);
    const bool blob = ParamIsBlob(i);
    // The length of a text parameter is a 16-bit number: a longer text would wrap.
    if (!blob && utf8.size() > kMaxTextBytes)
        throw Error("Text of " + std::to_string(utf8.size()) + " bytes is too long for parameter " +
                    std::to_string(i + 1) + " (at most " + std::to_string(kMaxTextBytes) + " bytes)");
    p = Param{};
    p.kind = blob ? Param::BlobData : Param::Text;
    p.bytes = utf8;
}
void Statement::SetTimestamp(int i, const ISC_TIMESTAMP& ts) {
    Param& p = In(i);
    p = Param{};
    p.kind = Param::Timestamp;
    p.ts = ts;
}
void Statement::SetBlobId(int i, const BlobId& id) {
    Param& p = In(i);
    p = Param{};
    p.kind = Param::Blob;
    p.blob = id;
}
void Statement::SetBlobData(int i, const QByteArray& data) {
    Param& p = In(i);
    p = Param{};
    p.kind = Param::BlobData;
    p.bytes = data;
}

void Statement::SetValue(int i, const QVariant& v) {
    if (!v.isValid() || v.isNull()) {
        SetNull(i);
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::Bool:
        SetInt64(i, v.toLongLong());
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        SetDouble(i, v.toDouble());
        return;
    case QMetaType::QDateTime:
        SetTimestamp(i, ToTimestamp(v.toDateTime()));
        return;
    case QMetaType::QDate:
        SetTimestamp(i, ToTimestamp(QDateTime(v.toDate(), QTime(0, 0))));
        return;
    case QMetaType::QByteArray:
        if (ParamIsBlob(i))
            SetBlobData(i, v.toByteArray());
        else
            SetText(i, v.toByteArray());
        return;
    default:
        break;
    }
    if (v.metaType() == QMetaType::fromType<BlobId>()) {
        SetBlobId(i, v.value<BlobId>());
        return;
    }
    SetText(i, v.toString().toUtf8());
}

void Statement::Execute(Transaction& tr) {
    if (!handle_)
        throw Error("Statement not prepared");
    db_.RequireAlive();
    const Api& api = Client();
    Status st;
    if (cursorOpen_)
        CloseCursor();
    XSQLDA* in = Da(inDa_);
    for (int i = 0; i < in->sqld; ++i) {
        XSQLVAR& v = in->sqlvar[i];
        v = inDesc_[i];
        Param& p = params_[i];
        const short described = v.sqltype & ~1;
        p.ind = 0;
        switch (p.kind) {
        case Param::Null:
            p.buf.assign(static_cast<size_t>(v.sqllen) + 2, 0);
            p.ind = -1;
            v.sqltype = described | 1;
            break;
        case Param::Int:
            p.buf.resize(8);
            std::memcpy(p.buf.data(), &p.i, 8);
            v.sqltype = SQL_INT64 | 1;
            v.sqllen = 8;
            v.sqlscale = 0;
            v.sqlsubtype = 0;
            break;
        case Param::Double:
            p.buf.resize(8);
            std::memcpy(p.buf.data(), &p.d, 8);
            v.sqltype = SQL_DOUBLE | 1;
            v.sqllen = 8;
            v.sqlscale = 0;
            v.sqlsubtype = 0;
            break;
        case Param::Text:
            p.buf.assign(p.bytes.constData(), p.bytes.constData() + p.bytes.size());
            p.buf.push_back(0);
            if (described != SQL_TEXT && described != SQL_VARYING)
                v.sqlsubtype = 0;
            v.sqltype = SQL_TEXT | 1;
            v.sqllen = static_cast<ISC_SHORT>(p.bytes.size());
            v.sqlscale = 0;
            break;
        case Param::Timestamp:
            p.buf.resize(sizeof(ISC_TIMESTAMP));
            std::memcpy(p.buf.data(), &p.ts, sizeof(ISC_TIMESTAMP));
            v.sqltype = SQL_TIMESTAMP | 1;
            v.sqllen = sizeof(ISC_TIMESTAMP);
            v.sqlscale = 0;
            v.sqlsubtype = 0;
            break;
        case Param::BlobData:
        case Param::Blob: {
            BlobId id = p.blob;
            if (p.kind == Param::BlobData)
                id = WriteBlob(db_, tr, p.bytes);
            p.buf.resize(sizeof(ISC_QUAD));
            std::memcpy(p.buf.data(), &id.quad, sizeof(ISC_QUAD));
            if (described != SQL_BLOB)
                v.sqlsubtype = 0;
            v.sqltype = SQL_BLOB | 1;
            v.sqllen = sizeof(ISC_QUAD);
            v.sqlscale = 0;
            break;
        }
        }
        v.sqldata = p.buf.data();
        v.sqlind = &p.ind;
    }
    if (type_ == isc_info_sql_stmt_exec_procedure && Da(outDa_)->sqld > 0)
        api.isc_dsql_execute2(st, tr.Handle(), &handle_, SQLDA_VERSION1, in->sqld ? in : nullptr, Da(outDa_));
    else
        api.isc_dsql_execute(st, tr.Handle(), &handle_, SQLDA_VERSION1, in->sqld ? in : nullptr);
    db_.Check(st);
    cursorOpen_ = IsSelect();
}

bool Statement::Fetch() {
    if (!cursorOpen_)
        return false;
    db_.RequireAlive();
    Status st;
    const ISC_STATUS rc = Client().isc_dsql_fetch(st, &handle_, SQLDA_VERSION1, Da(outDa_));
    if (rc == 100) {
        CloseCursor();
        return false;
    }
    db_.Check(st);
    return true;
}

void Statement::CloseCursor() {
    if (!cursorOpen_)
        return;
    cursorOpen_ = false;
    Status st;
    Client().isc_dsql_free_statement(st, &handle_, DSQL_close); // a cursor closed by a commit is no error
}

int Statement::ColumnCount() const {
    return outDa_ ? Da(outDa_)->sqld : 0;
}

XSQLVAR& Statement::OutVar(int c) const {
    if (!outDa_ || c < 0 || c >= Da(outDa_)->sqld)
        throw Error("Column index out of range");
    return Da(outDa_)->sqlvar[c];
}

QString Statement::ColumnName(int c) const {
    const XSQLVAR& v = OutVar(c);
    return QString::fromUtf8(v.aliasname, v.aliasname_length);
}

int Statement::FindColumn(const QString& name) const {
    for (int c = 0; c < ColumnCount(); ++c)
        if (ColumnName(c).compare(name, Qt::CaseInsensitive) == 0)
            return c;
    return -1;
}

short Statement::ColumnType(int c) const {
    return OutVar(c).sqltype & ~1;
}
short Statement::ColumnSubType(int c) const {
    return OutVar(c).sqlsubtype;
}

bool Statement::IsNull(int c) const {
    const XSQLVAR& v = OutVar(c);
    return (v.sqltype & 1) && *v.sqlind < 0;
}

qint64 Statement::AsInt64(int c) const {
    const XSQLVAR& v = OutVar(c);
    if (IsNull(c))
        return 0;
    qint64 value = 0;
    switch (v.sqltype & ~1) {
    case SQL_SHORT:
        value = *reinterpret_cast<const short*>(v.sqldata);
        break;
    case SQL_LONG:
        value = *reinterpret_cast<const ISC_LONG*>(v.sqldata);
        break;
    case SQL_INT64:
        value = *reinterpret_cast<const ISC_INT64*>(v.sqldata);
        break;
    case SQL_FLOAT:
        return static_cast<qint64>(*reinterpret_cast<const float*>(v.sqldata));
    case SQL_DOUBLE:
        return static_cast<qint64>(*reinterpret_cast<const double*>(v.sqldata));
    case SQL_BOOLEAN:
        return *reinterpret_cast<const unsigned char*>(v.sqldata) ? 1 : 0;
    default: {
        bool ok = false;
        const QString s = AsString(c).trimmed();
        value = s.toLongLong(&ok);
        if (!ok)
            throw Error(("'" + s + "' is not a valid integer value").toStdString());
        return value;
    }
    }
    for (int s = v.sqlscale; s < 0; ++s)
        value /= 10;
    for (int s = 0; s < v.sqlscale; ++s)
        value *= 10;
    return value;
}

QString Statement::AsString(int c) const {
    const XSQLVAR& v = OutVar(c);
    if (IsNull(c))
        return {};
    switch (v.sqltype & ~1) {
    case SQL_TEXT: {
        QString s = QString::fromUtf8(v.sqldata, v.sqllen);
        qsizetype n = s.size();
        while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == QChar(0)))
            --n;
        return s.left(n);
    }
    case SQL_VARYING: {
        const unsigned short len = *reinterpret_cast<const unsigned short*>(v.sqldata);
        return QString::fromUtf8(v.sqldata + 2, len);
    }
    case SQL_SHORT:
        return ScaledToString(*reinterpret_cast<const short*>(v.sqldata), v.sqlscale);
    case SQL_LONG:
        return ScaledToString(*reinterpret_cast<const ISC_LONG*>(v.sqldata), v.sqlscale);
    case SQL_INT64:
        return ScaledToString(*reinterpret_cast<const ISC_INT64*>(v.sqldata), v.sqlscale);
    case SQL_FLOAT:
        return QString::number(*reinterpret_cast<const float*>(v.sqldata));
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return QString::number(*reinterpret_cast<const double*>(v.sqldata), 'g', 15);
    case SQL_BOOLEAN:
        return *reinterpret_cast<const unsigned char*>(v.sqldata) ? "True" : "False";
    case SQL_TIMESTAMP:
        return ToDateTime(AsTimestamp(c)).toString("yyyy-MM-dd hh:mm:ss");
    case SQL_TYPE_DATE:
        return QDate::fromJulianDay(*reinterpret_cast<const ISC_DATE*>(v.sqldata) + kJulianOfBase)
            .toString("yyyy-MM-dd");
    case SQL_TYPE_TIME:
        return QTime::fromMSecsSinceStartOfDay(*reinterpret_cast<const ISC_TIME*>(v.sqldata) / 10)
            .toString("hh:mm:ss");
    default:
        return {};
    }
}

std::string_view Statement::TextBytes(int c) const {
    const XSQLVAR& v = OutVar(c);
    if (IsNull(c))
        return {};
    switch (v.sqltype & ~1) {
    case SQL_TEXT:
        return {v.sqldata, size_t(v.sqllen)};
    case SQL_VARYING:
        return {v.sqldata + 2, *reinterpret_cast<const unsigned short*>(v.sqldata)};
    default:
        return {};
    }
}

BlobId Statement::AsBlobId(int c) const {
    const XSQLVAR& v = OutVar(c);
    BlobId id;
    if (!IsNull(c) && (v.sqltype & ~1) == SQL_BLOB)
        std::memcpy(&id.quad, v.sqldata, sizeof(ISC_QUAD));
    return id;
}

ISC_TIMESTAMP Statement::AsTimestamp(int c) const {
    const XSQLVAR& v = OutVar(c);
    ISC_TIMESTAMP ts{0, 0};
    if (IsNull(c))
        return ts;
    switch (v.sqltype & ~1) {
    case SQL_TIMESTAMP:
        std::memcpy(&ts, v.sqldata, sizeof ts);
        break;
    case SQL_TYPE_DATE:
        ts.timestamp_date = *reinterpret_cast<const ISC_DATE*>(v.sqldata);
        break;
    case SQL_TYPE_TIME:
        ts.timestamp_time = *reinterpret_cast<const ISC_TIME*>(v.sqldata);
        break;
    default:
        break;
    }
    return ts;
}

QVariant Statement::Value(int c) const {
    const XSQLVAR& v = OutVar(c);
    if (IsNull(c))
        return {};
    switch (v.sqltype & ~1) {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
        if (v.sqlscale == 0)
            return AsInt64(c);
        return AsString(c).toDouble();
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return AsString(c).toDouble();
    case SQL_BOOLEAN:
        return *reinterpret_cast<const unsigned char*>(v.sqldata) != 0;
    case SQL_TIMESTAMP:
        return ToDateTime(AsTimestamp(c));
    case SQL_TYPE_DATE:
        return QDate::fromJulianDay(*reinterpret_cast<const ISC_DATE*>(v.sqldata) + kJulianOfBase);
    case SQL_TYPE_TIME:
        return QTime::fromMSecsSinceStartOfDay(*reinterpret_cast<const ISC_TIME*>(v.sqldata) / 10);
    case SQL_BLOB:
        return QVariant::fromValue(AsBlobId(c));
    case SQL_TEXT:
    case SQL_VARYING:
        return AsString(c);
    default:
        return {};
    }
}

} // namespace fb
