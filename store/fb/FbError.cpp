#include "store/fb/FbError.h"

#include "store/fb/FbApi.h"

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

void Check(const long* status) {
    static_assert(sizeof(long) == sizeof(ISC_STATUS));
    if (status[0] != 1 || status[1] == 0)
        return;
    const long gds = status[1];
    long sqlCode = Client().isc_sqlcode(reinterpret_cast<const ISC_STATUS*>(status));
    std::string message = InterpretStatus(status);
    if (message.empty())
        message = "Firebird error " + std::to_string(gds);
    throw Error(message, gds, sqlCode);
}

} // namespace fb
