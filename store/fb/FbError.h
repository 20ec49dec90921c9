#pragma once
// The one exception type of the data layer: the client library's interpreted error lines
// (joined by '\n', no trailing full stop) and the error codes of the status vector.
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

namespace fb {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message, long gdsCode = 0, long sqlCode = 0,
                   std::vector<long> codes = {})
        : std::runtime_error(message), gdsCode_(gdsCode), sqlCode_(sqlCode), codes_(std::move(codes)) {}

    long GdsCode() const { return gdsCode_; } // 0 for errors raised by the data layer itself
    long SqlCode() const { return sqlCode_; }
    // Every error code of the status vector, the first one first.
    const std::vector<long>& Codes() const { return codes_; }
    // A change collided with an uncommitted change of another transaction (no wait).
    bool IsLockConflict() const;

private:
    long gdsCode_;
    long sqlCode_;
    std::vector<long> codes_;
};

// The server could not be reached, refused the account, or the connection broke. The
// message is German and says what to do; the client library's own text is the nested
// exception (std::rethrow_if_nested), which the error display shows as details.
class ConnectionError : public Error, public std::nested_exception {
public:
    using Error::Error;
};

enum class Fault;
// Raises ConnectionError with the German message of fault for the server at connection, the
// cause nested in it.
[[noreturn]] void ThrowConnectionError(const Error& cause, Fault fault, const std::string& connection);

// Throws Error when the status vector holds an error.
void Check(const long* status);
// The Error a status vector holding an error stands for.
Error ErrorOf(const long* status);

// The interpreted lines of a status vector, joined by '\n', without a trailing full stop.
std::string InterpretStatus(const long* status);

// The error codes (isc_arg_gds) of a status vector, in order.
std::vector<long> StatusCodes(const long* status);

} // namespace fb
