#pragma once
// One attachment to a services manager (the local one, "service_mgr", or a server's,
// "host/port:service_mgr"), running backup and restore jobs. Every failure raises fb::Error;
// a server that cannot be reached or refuses the account raises fb::ConnectionError.
#include "store/fb/FbApi.h"

#include <functional>
#include <string>
#include <vector>

namespace fb {

class Service {
public:
    // Loads the client library; LibraryError when it cannot be loaded.
    Service();
    ~Service(); // detaches quietly
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    // Attaches with user name and password; nothing happens while already attached to the
    // same services manager. A broken connection is dropped, so the next call attaches anew.
    void Attach(const std::string& user, const std::string& password,
                const std::string& serviceName = "service_mgr");
    void Detach();
    bool Attached() const { return handle_ != 0; }

    // Starts a job and returns as soon as the server has accepted it. The files are the
    // server's.
    void StartBackup(const std::string& database, const std::string& backupFile);
    void StartRestore(const std::string& backupFile, const std::string& database, int pageSize, bool replace);

    // Polls the services manager until the job has ended, calling idle between polls.
    // Returns the job's output lines; raises Error when the job reported a failure.
    std::vector<std::string> WaitUntilFinished(const std::function<void()>& idle = {});

    // Backup and restore through the services connection itself: the server sends the backup
    // to this program (write gets each block) or reads it from this program (read fills at most
    // the given number of bytes and returns how many; 0 at the end). Both return when the job
    // has ended; a job that failed raises Error.
    void BackupToClient(const std::string& database, const std::function<void(const char*, size_t)>& write,
                        const std::function<void()>& idle = {});
    void RestoreFromClient(const std::string& database, int pageSize, bool replace,
                           const std::function<size_t(char*, size_t)>& read,
                           const std::function<void()>& idle = {});

private:
    void CheckStatus(const ISC_STATUS* status);

    isc_svc_handle handle_ = 0;
    std::string name_;
};

// The shutdown mode of a database file (0 online, 1 multi, 2 single, 3 full); a restore
// that has not run to its end leaves the file shut down.
int DatabaseShutdownMode(const std::string& database, const std::string& user, const std::string& password);

// Removes a database through its server (or the local engine); the connection text as the
// client library reads it.
void DropDatabase(const std::string& database, const std::string& user, const std::string& password);

// Parameter blocks, built as the services manager reads them.
std::string ServiceAttachSpb(const std::string& user, const std::string& password);
std::string BackupRequest(const std::string& database, const std::string& backupFile);
std::string RestoreRequest(const std::string& backupFile, const std::string& database, int pageSize,
                           bool replace);

} // namespace fb
