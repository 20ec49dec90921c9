#include "store/fb/FbError.h"

#include "store/fb/FbApi.h"
#include "store/fb/FbConnection.h"

namespace fb {

bool Error::IsLockConflict() const {
    return gdsCode_ == isc_lock_conflict || gdsCode_ == isc_deadlock || gdsCode_ == isc_update_conflict;
}

std::string InterpretStatus(const long* status) {
    const Api& api = Client();
    std::string text;
    const ISC_STATUS* vec = reinterpret_cast<const ISC_STATUS*>(status);
    char line[1024];
    while (api.fb_interpret(line, sizeof line, &vec) > 0) {
        if (!text.empty())
            text += '\n';
        text += line;
    }
    while (!text.empty() && (text.back() == '.' || text.back() == ' ' || text.back() == '\n'))
        text.pop_back();
    return text;
}

std::vector<long> StatusCodes(const long* status) {
    std::vector<long> codes;
    // Clusters of (kind, value); a counted string takes one slot more.
    for (int i = 0; i < ISC_STATUS_LENGTH - 1 && status[i] != isc_arg_end;) {
        const long kind = status[i];
        if (kind == isc_arg_gds && status[i + 1] != 0)
            codes.push_back(status[i + 1]);
        i += kind == isc_arg_cstring ? 3 : 2;
    }
    return codes;
}

Error ErrorOf(const long* status) {
    const long gds = status[1];
    long sqlCode = Client().isc_sqlcode(reinterpret_cast<const ISC_STATUS*>(status));
    std::string message = InterpretStatus(status);
    if (message.empty())
        message = "Firebird error " + std::to_string(gds);
    return Error(message, gds, sqlCode, StatusCodes(status));
}

void ThrowConnectionError(const Error& cause, Fault fault, const std::string& connection) {
    try {
        throw cause;
    } catch (const Error&) {
        throw ConnectionError(FaultMessage(fault, ParseConnectionText(connection).host), cause.GdsCode(),
                              cause.SqlCode(), cause.Codes());
    }
}

void Check(const long* status) {
    static_assert(sizeof(long) == sizeof(ISC_STATUS));
    if (status[0] != 1 || status[1] == 0)
        return;
    throw ErrorOf(status);
}

} // namespace fb
