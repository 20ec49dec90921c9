#include "update/UpdaterResource.h"

// Defined by the object of zw_upd_resource; null when it is not linked in.
extern "C" {
extern const char zw_upd_resource_begin[] __attribute__((weak));
extern const char zw_upd_resource_end[] __attribute__((weak));
}

QByteArray UpdaterResource() {
    const char* begin = zw_upd_resource_begin;
    const char* end = zw_upd_resource_end;
    if (!begin || !end || end <= begin)
        return {};
    return QByteArray::fromRawData(begin, end - begin);
}
