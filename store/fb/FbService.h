#pragma once
// One attachment to the services manager of the local server ("service_mgr"), running
// backup and restore jobs. Every failure raises fb::Error.
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

    // Attaches with user name and password; nothing happens while already attached.
    void Attach(const std::string& user, const std::string& password);
    void Detach();
    bool Attached() const { return handle_ != 0; }

    // Starts a job and returns as soon as the server has accepted it.
    void StartBackup(const std::string& database, const std::string& backupFile);
    void StartRestore(const std::string& backupFile, const std::string& database, int pageSize, bool replace);

    // Polls the services manager until the job has ended, calling idle between polls.
    // Returns the job's output lines; raises Error when the job reported a failure.
    std::vector<std::string> WaitUntilFinished(const std::function<void()>& idle = {});

private:
    isc_svc_handle handle_ = 0;
};

// The shutdown mode of a database file (0 online, 1 multi, 2 single, 3 full); a restore
// that has not run to its end leaves the file shut down.
int DatabaseShutdownMode(const std::string& database, const std::string& user, const std::string& password);

// Parameter blocks, built as the services manager reads them.
std::string ServiceAttachSpb(const std::string& user, const std::string& password);
std::string BackupRequest(const std::string& database, const std::string& backupFile);
std::string RestoreRequest(const std::string& backupFile, const std::string& database, int pageSize,
                           bool replace);

} // namespace fb
