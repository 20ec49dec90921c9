#pragma once
// The one exception type of the data layer: the client library's interpreted error lines
// (joined by '\n', no trailing full stop) and the first error code of the status vector.
#include <stdexcept>
#include <string>

namespace fb {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message, long gdsCode = 0, long sqlCode = 0)
        : std::runtime_error(message), gdsCode_(gdsCode), sqlCode_(sqlCode) {}

    long GdsCode() const { return gdsCode_; } // 0 for errors raised by the data layer itself
    long SqlCode() const { return sqlCode_; }
    // A change collided with an uncommitted change of another transaction (no wait).
    bool IsLockConflict() const;

private:
    long gdsCode_;
    long sqlCode_;
};

// Throws Error when the status vector holds an error.
void Check(const long* status);

// The interpreted lines of a status vector, joined by '\n', without a trailing full stop.
std::string InterpretStatus(const long* status);

} // namespace fb
