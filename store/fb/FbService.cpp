#include "store/fb/FbService.h"

#include "store/fb/FbConnection.h"
#include "store/fb/FbError.h"
#include "store/fb/FbHandles.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace fb {

namespace {

void PutString1(std::string& spb, char tag, const std::string& value) {
    if (value.size() > 255)
        throw Error("Parameter too long: " + value);
    spb += tag;
    spb += static_cast<char>(value.size());
    spb += value;
}

void PutString2(std::string& spb, char tag, const std::string& value) {
    if (value.size() > 65535)
        throw Error("Parameter too long: " + value);
    spb += tag;
    spb += static_cast<char>(value.size() & 0xFF);
    spb += static_cast<char>((value.size() >> 8) & 0xFF);
    spb += value;
}

void PutInt(std::string& spb, char tag, unsigned value) {
    spb += tag;
    for (int i = 0; i < 4; ++i)
        spb += static_cast<char>((value >> (8 * i)) & 0xFF);
}

unsigned ReadInt(const char* p, int length) {
    unsigned v = 0;
    for (int i = 0; i < length; ++i)
        v |= static_cast<unsigned>(static_cast<unsigned char>(p[i])) << (8 * i);
    return v;
}

struct QueryResult {
    std::vector<std::string> lines;
    bool running = false;
};

} // namespace

std::string ServiceAttachSpb(const std::string& user, const std::string& password) {
    std::string spb;
    spb += static_cast<char>(isc_spb_version);
    spb += static_cast<char>(isc_spb_current_version);
    PutString1(spb, isc_spb_user_name, user);
    PutString1(spb, isc_spb_password, password);
    return spb;
}

std::string BackupRequest(const std::string& database, const std::string& backupFile) {
    std::string req(1, static_cast<char>(isc_action_svc_backup));
    PutString2(req, isc_spb_dbname, database);
    PutString2(req, isc_spb_bkp_file, backupFile);
    return req;
}

std::string RestoreRequest(const std::string& backupFile, const std::string& database, int pageSize,
                           bool replace) {
    std::string req(1, static_cast<char>(isc_action_svc_restore));
    PutString2(req, isc_spb_bkp_file, backupFile);
    PutString2(req, isc_spb_dbname, database);
    PutInt(req, isc_spb_options, replace ? isc_spb_res_replace : isc_spb_res_create);
    if (pageSize > 0)
        PutInt(req, isc_spb_res_page_size, static_cast<unsigned>(pageSize));
    return req;
}

Service::Service() {
    Client();
}

Service::~Service() {
    if (handle_) {
        ISC_STATUS_ARRAY status{};
        Client().isc_service_detach(status, &handle_);
        handle_ = 0;
    }
}

void Service::Attach(const std::string& user, const std::string& password, const std::string& serviceName) {
    if (handle_ && name_ == serviceName)
        return;
    if (handle_) {
        ISC_STATUS_ARRAY ignored{};
        Client().isc_service_detach(ignored, &handle_);
        handle_ = 0;
    }
    const std::string spb = ServiceAttachSpb(user, password);
    ISC_STATUS_ARRAY status{};
    isc_svc_handle handle = 0;
    Client().isc_service_attach(status, 0, serviceName.c_str(), &handle,
                                static_cast<unsigned short>(spb.size()), spb.data());
    if (status[0] == 1 && status[1]) {
        const Error e = ErrorOf(reinterpret_cast<const long*>(status));
        const Fault fault = ClassifyFault(e.Codes());
        if (fault == Fault::None)
            throw e;
        ThrowConnectionError(e, fault, serviceName);
    }
    handle_ = handle;
    name_ = serviceName;
}

void Service::Detach() {
    if (!handle_)
        return;
    ISC_STATUS_ARRAY status{};
    Client().isc_service_detach(status, &handle_);
    handle_ = 0;
    Check(reinterpret_cast<const long*>(status));
}

void Service::CheckStatus(const ISC_STATUS* status) {
    if (status[0] != 1 || status[1] == 0)
        return;
    const Error e = ErrorOf(reinterpret_cast<const long*>(status));
    if (ClassifyFault(e.Codes()) == Fault::None)
        throw e;
    // The connection is gone: let go of the handle, the next job attaches again.
    ISC_STATUS_ARRAY ignored{};
    Client().isc_service_detach(ignored, &handle_);
    handle_ = 0;
    ThrowConnectionError(e, Fault::Lost, name_);
}

namespace {

void Start(isc_svc_handle* handle, const std::string& request,
           const std::function<void(const ISC_STATUS*)>& check) {
    if (!*handle)
        throw Error("The services manager is not attached");
    // A job that has just failed may still hold the service for a moment.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        ISC_STATUS_ARRAY status{};
        Client().isc_service_start(status, handle, nullptr, static_cast<unsigned short>(request.size()),
                                   request.data());
        if (status[0] == 1 && status[1] == isc_svc_in_use && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        check(status);
        return;
    }
}

// One poll: whatever output line is ready, and whether the job still runs.
QueryResult Poll(isc_svc_handle* handle, const std::function<void(const ISC_STATUS*)>& check) {
    static const char items[] = {isc_info_svc_line, isc_info_svc_running};
    std::vector<char> buffer(16384);
    ISC_STATUS_ARRAY status{};
    Client().isc_service_query(status, handle, nullptr, 0, nullptr, sizeof items, items,
                               static_cast<unsigned short>(buffer.size()), buffer.data());
    check(status);
    QueryResult result;
    const char* p = buffer.data();
    const char* end = p + buffer.size();
    while (p < end && *p != isc_info_end) {
        const char tag = *p++;
        if (tag == isc_info_svc_line && p + 2 <= end) {
            const unsigned length = ReadInt(p, 2);
            p += 2;
            if (p + length > end)
                break;
            if (length > 0)
                result.lines.emplace_back(p, length);
            p += length;
        } else if (tag == isc_info_svc_running && p + 4 <= end) {
            result.running = ReadInt(p, 4) != 0;
            p += 4;
        } else if (tag == isc_info_truncated || tag == isc_info_data_not_ready) {
            result.running = true; // ask again
        } else {
            break;
        }
    }
    return result;
}

} // namespace

void Service::StartBackup(const std::string& database, const std::string& backupFile) {
    Start(&handle_, BackupRequest(database, backupFile), [this](const ISC_STATUS* s) { CheckStatus(s); });
}

void Service::StartRestore(const std::string& backupFile, const std::string& database, int pageSize,
                           bool replace) {
    Start(&handle_, RestoreRequest(backupFile, database, pageSize, replace),
          [this](const ISC_STATUS* s) { CheckStatus(s); });
}

std::vector<std::string> Service::WaitUntilFinished(const std::function<void()>& idle) {
    if (!handle_)
        throw Error("The services manager is not attached");
    const auto check = [this](const ISC_STATUS* s) { CheckStatus(s); };
    std::vector<std::string> lines;
    for (;;) {
        QueryResult r = Poll(&handle_, check);
        const bool gotOutput = !r.lines.empty();
        for (auto& line : r.lines)
            lines.push_back(std::move(line));
        if (!r.running && !gotOutput)
            break;
        if (!gotOutput) {
            if (idle)
                idle();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    // A job that failed reports its error on the query after it has ended.
    Poll(&handle_, check);
    return lines;
}

// The services manager's names for the client's side of the job.
constexpr char kToClient[] = "stdout";
constexpr char kFromClient[] = "stdin";

void Service::BackupToClient(const std::string& database,
                             const std::function<void(const char*, size_t)>& write,
                             const std::function<void()>& idle) {
    StartBackup(database, kToClient);
    static const char items[] = {isc_info_svc_to_eof};
    std::vector<char> buffer(65000);
    for (;;) {
        ISC_STATUS_ARRAY status{};
        Client().isc_service_query(status, &handle_, nullptr, 0, nullptr, sizeof items, items,
                                   static_cast<unsigned short>(buffer.size()), buffer.data());
        CheckStatus(status);
        bool more = false;
        const char* p = buffer.data();
        const char* end = p + buffer.size();
        while (p < end && *p != isc_info_end) {
            const char tag = *p++;
            if (tag == isc_info_svc_to_eof && p + 2 <= end) {
                const unsigned length = ReadInt(p, 2);
                p += 2;
                if (p + length > end)
                    throw Error("The services manager sent a block longer than its answer");
                if (length > 0) {
                    write(p, length);
                    more = true;
                }
                p += length;
            } else if (tag == isc_info_truncated || tag == isc_info_data_not_ready ||
                       tag == isc_info_svc_timeout) {
                more = true;
            } else {
                break;
            }
        }
        if (!more)
            break;
        if (idle)
            idle();
    }
    Poll(&handle_, [this](const ISC_STATUS* s) { CheckStatus(s); });
}

void Service::RestoreFromClient(const std::string& database, int pageSize, bool replace,
                                const std::function<size_t(char*, size_t)>& read,
                                const std::function<void()>& idle) {
    StartRestore(kFromClient, database, pageSize, replace);
    static const char items[] = {isc_info_svc_stdin, isc_info_svc_line};
    std::vector<char> buffer(16384);
    std::string send;
    unsigned wanted = 0;
    for (;;) {
        send.clear();
        if (wanted > 0) {
            // One block per query, at most what the length field can carry.
            std::vector<char> block(std::min<unsigned>(wanted, 60000));
            const size_t got = read(block.data(), block.size());
            send += static_cast<char>(isc_info_svc_line);
            send += static_cast<char>(got & 0xFF);
            send += static_cast<char>((got >> 8) & 0xFF);
            send.append(block.data(), got); // an empty block is the end of the file
        }
        ISC_STATUS_ARRAY status{};
        Client().isc_service_query(status, &handle_, nullptr, static_cast<unsigned short>(send.size()),
                                   send.data(), sizeof items, items,
                                   static_cast<unsigned short>(buffer.size()), buffer.data());
        CheckStatus(status);
        bool more = false;
        wanted = 0;
        const char* p = buffer.data();
        const char* end = p + buffer.size();
        while (p < end && *p != isc_info_end) {
            const char tag = *p++;
            if (tag == isc_info_svc_stdin && p + 4 <= end) {
                wanted = ReadInt(p, 4);
                p += 4;
            } else if (tag == isc_info_svc_line && p + 2 <= end) {
                const unsigned length = ReadInt(p, 2);
                p += 2 + length;
                more = more || length > 0;
            } else if (tag == isc_info_truncated || tag == isc_info_data_not_ready ||
                       tag == isc_info_svc_timeout) {
                more = true;
            } else {
                break;
            }
        }
        if (!more && wanted == 0)
            break;
        if (idle && wanted == 0)
            idle();
    }
    Poll(&handle_, [this](const ISC_STATUS* s) { CheckStatus(s); });
}

void DropDatabase(const std::string& database, const std::string& user, const std::string& password) {
    Attachment db;
    db.Attach(database, user, password);
    ISC_STATUS_ARRAY status{};
    Client().isc_drop_database(status, db.Handle());
    db.Check(status);
    *db.Handle() = 0; // gone with the file
}

int DatabaseShutdownMode(const std::string& database, const std::string& user, const std::string& password) {
    Attachment db;
    db.Attach(database, user, password);
    Transaction tr;
    tr.Start(db, Transaction::SharedTpb());
    int mode = -1;
    {
        Statement st(db);
        st.Prepare(tr, QStringLiteral("select mon$shutdown_mode from mon$database"), 3);
        st.Execute(tr);
        if (st.Fetch())
            mode = static_cast<int>(st.AsInt64(0));
    }
    tr.Commit();
    db.Detach();
    return mode;
}

} // namespace fb
