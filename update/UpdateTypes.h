#pragma once
// Settings kinds, status reporting and error types shared by the update engine's parts.
#include <QString>
#include <functional>
#include <stdexcept>
#include <string>

enum TUpdateType { ftpUpdate = 0, httpUpdate = 1, fileUpdate = 2 };
enum TVersionCheck { vcUpdateOnly = 0, vcAlways = 1 };
enum TAuthenticate { waAlways = 0, waAuto = 1, waNever = 2 };

// One status report: message number, parameter text for "%s", status code, error code.
using TStatusReporter = std::function<void(int MsgNo, const QString& Param, int StatusCode, int ErrCode)>;

// Credentials entered in the login dialog.
struct TLoginData {
    QString UserID;
    QString Password;
};

// A file could not be created, read or written; ends the update run.
class EInOutError : public std::runtime_error {
public:
    explicit EInOutError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// A byte sum left the signed 32-bit range; ends the update run.
class EIntOverflow : public std::overflow_error {
public:
    EIntOverflow() : std::overflow_error("Arithmetic overflow") {}
};
