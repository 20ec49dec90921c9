#pragma once
// The Firebird client library, loaded at run time once, as one table of entry points.
#include <ibase.h>
#include <stdexcept>
#include <string>
#include <utility>

#define ZW_FB_FUNCTIONS(X)                                                                                  \
    X(isc_attach_database)                                                                                  \
    X(isc_detach_database)                                                                                  \
    X(isc_drop_database)                                                                                    \
    X(isc_database_info)                                                                                    \
    X(isc_start_multiple)                                                                                   \
    X(isc_commit_transaction)                                                                               \
    X(isc_commit_retaining)                                                                                 \
    X(isc_rollback_transaction)                                                                             \
    X(isc_dsql_allocate_statement)                                                                          \
    X(isc_dsql_prepare)                                                                                     \
    X(isc_dsql_describe)                                                                                    \
    X(isc_dsql_describe_bind)                                                                               \
    X(isc_dsql_execute)                                                                                     \
    X(isc_dsql_execute2)                                                                                    \
    X(isc_dsql_execute_immediate)                                                                           \
    X(isc_dsql_fetch)                                                                                       \
    X(isc_dsql_free_statement)                                                                              \
    X(isc_dsql_sql_info)                                                                                    \
    X(isc_create_blob2)                                                                                     \
    X(isc_open_blob2)                                                                                       \
    X(isc_get_segment)                                                                                      \
    X(isc_put_segment)                                                                                      \
    X(isc_close_blob)                                                                                       \
    X(isc_cancel_blob)                                                                                      \
    X(isc_blob_info)                                                                                        \
    X(isc_decode_timestamp)                                                                                 \
    X(isc_encode_timestamp)                                                                                 \
    X(isc_decode_sql_date)                                                                                  \
    X(isc_decode_sql_time)                                                                                  \
    X(isc_vax_integer)                                                                                      \
    X(isc_portable_integer)                                                                                 \
    X(isc_sqlcode)                                                                                          \
    X(fb_interpret)                                                                                         \
    X(isc_service_attach)                                                                                   \
    X(isc_service_detach)                                                                                   \
    X(isc_service_start)                                                                                    \
    X(isc_service_query)                                                                                    \
    X(isc_get_client_version)

namespace fb {

// Raised when the client library or one of its entry points cannot be loaded.
class LibraryError : public std::runtime_error {
public:
    explicit LibraryError(const std::string& message, std::string detail = {})
        : std::runtime_error(message), detail_(std::move(detail)) {}
    // The loader's own reason (dlerror), for the error display's details.
    const std::string& Detail() const { return detail_; }

private:
    std::string detail_;
};

struct Api {
#define ZW_FB_MEMBER(name) decltype(&::name) name = nullptr;
    ZW_FB_FUNCTIONS(ZW_FB_MEMBER)
#undef ZW_FB_MEMBER
    std::string libraryPath; // the file that was loaded
};

// The library's file name on this platform.
const char* ClientLibraryName(); // "libfbclient.so.2"

// Loads the library on first use (ZW_FBCLIENT overrides the name); throws LibraryError
// with a message naming the library when it cannot be loaded.
const Api& Client();

} // namespace fb
