// libcurl loaded when the first transfer needs it. Linked at start, libcurl and the TLS, LDAP,
// Kerberos, RTMP and SSH libraries it brings cost the program several megabytes of resident
// memory all day in the tray, for an update check it may never run. The entry points the
// transfer code uses are defined here under libcurl's own names and forward to the library;
// when it cannot be loaded they fail as libcurl itself fails to initialise.
#include <cstdarg>
#include <cstdio>
#include <curl/curl.h>
#include <dlfcn.h>

namespace {

#define ZW_CURL_FUNCTIONS(X)                                                                                 \
    X(curl_global_init)                                                                                      \
    X(curl_easy_init)                                                                                        \
    X(curl_easy_setopt)                                                                                      \
    X(curl_easy_getinfo)                                                                                     \
    X(curl_easy_pause)                                                                                       \
    X(curl_easy_cleanup)                                                                                     \
    X(curl_easy_strerror)                                                                                    \
    X(curl_multi_init)                                                                                       \
    X(curl_multi_add_handle)                                                                                 \
    X(curl_multi_remove_handle)                                                                              \
    X(curl_multi_perform)                                                                                    \
    X(curl_multi_poll)                                                                                       \
    X(curl_multi_info_read)                                                                                  \
    X(curl_multi_cleanup)                                                                                    \
    X(curl_slist_append)                                                                                     \
    X(curl_slist_free_all)

struct TCurl {
#define ZW_CURL_MEMBER(name) decltype(&::name) name = nullptr;
    ZW_CURL_FUNCTIONS(ZW_CURL_MEMBER)
#undef ZW_CURL_MEMBER
    bool loaded = false;
};

constexpr const char* kLibrary = "libcurl.so.4";

// Loaded once; every entry point or none.
const TCurl& Curl() {
    static const TCurl api = [] {
        TCurl a;
        void* library = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            std::fprintf(stderr, "zettelwerk: %s cannot be loaded: %s\n", kLibrary, dlerror());
            return a;
        }
        bool complete = true;
#define ZW_CURL_LOAD(name)                                                                                   \
    a.name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name));                                     \
    complete = complete && a.name;
        ZW_CURL_FUNCTIONS(ZW_CURL_LOAD)
#undef ZW_CURL_LOAD
        if (!complete) {
            std::fprintf(stderr, "zettelwerk: %s lacks an entry point the program needs\n", kLibrary);
            return TCurl{};
        }
        a.loaded = true;
        return a;
    }();
    return api;
}

} // namespace

extern "C" {

CURLcode curl_global_init(long flags) {
    return Curl().loaded ? Curl().curl_global_init(flags) : CURLE_FAILED_INIT;
}

CURL* curl_easy_init(void) {
    return Curl().loaded ? Curl().curl_easy_init() : nullptr;
}

// The value's type follows from the option's number range, as libcurl reads it itself.
CURLcode curl_easy_setopt(CURL* curl, CURLoption option, ...) {
    if (!Curl().loaded)
        return CURLE_FAILED_INIT;
    va_list values;
    va_start(values, option);
    CURLcode rc;
    if (option < CURLOPTTYPE_OBJECTPOINT)
        rc = Curl().curl_easy_setopt(curl, option, va_arg(values, long));
    else if (option < CURLOPTTYPE_OFF_T) // objects, strings, lists and callbacks
        rc = Curl().curl_easy_setopt(curl, option, va_arg(values, void*));
    else if (option < CURLOPTTYPE_BLOB)
        rc = Curl().curl_easy_setopt(curl, option, va_arg(values, curl_off_t));
    else
        rc = Curl().curl_easy_setopt(curl, option, va_arg(values, void*));
    va_end(values);
    return rc;
}

// Every information item is written through a pointer.
CURLcode curl_easy_getinfo(CURL* curl, CURLINFO info, ...) {
    if (!Curl().loaded)
        return CURLE_FAILED_INIT;
    va_list values;
    va_start(values, info);
    const CURLcode rc = Curl().curl_easy_getinfo(curl, info, va_arg(values, void*));
    va_end(values);
    return rc;
}

CURLcode curl_easy_pause(CURL* handle, int bitmask) {
    return Curl().loaded ? Curl().curl_easy_pause(handle, bitmask) : CURLE_FAILED_INIT;
}

void curl_easy_cleanup(CURL* curl) {
    if (Curl().loaded)
        Curl().curl_easy_cleanup(curl);
}

const char* curl_easy_strerror(CURLcode code) {
    return Curl().loaded ? Curl().curl_easy_strerror(code) : "libcurl.so.4 cannot be loaded";
}

CURLM* curl_multi_init(void) {
    return Curl().loaded ? Curl().curl_multi_init() : nullptr;
}

CURLMcode curl_multi_add_handle(CURLM* multi, CURL* easy) {
    return Curl().loaded ? Curl().curl_multi_add_handle(multi, easy) : CURLM_INTERNAL_ERROR;
}

CURLMcode curl_multi_remove_handle(CURLM* multi, CURL* easy) {
    return Curl().loaded ? Curl().curl_multi_remove_handle(multi, easy) : CURLM_INTERNAL_ERROR;
}

CURLMcode curl_multi_perform(CURLM* multi, int* running) {
    return Curl().loaded ? Curl().curl_multi_perform(multi, running) : CURLM_INTERNAL_ERROR;
}

CURLMcode curl_multi_poll(CURLM* multi, struct curl_waitfd extra[], unsigned int count, int timeoutMs,
                          int* ready) {
    return Curl().loaded ? Curl().curl_multi_poll(multi, extra, count, timeoutMs, ready)
                         : CURLM_INTERNAL_ERROR;
}

CURLMsg* curl_multi_info_read(CURLM* multi, int* queued) {
    return Curl().loaded ? Curl().curl_multi_info_read(multi, queued) : nullptr;
}

CURLMcode curl_multi_cleanup(CURLM* multi) {
    return Curl().loaded ? Curl().curl_multi_cleanup(multi) : CURLM_INTERNAL_ERROR;
}

struct curl_slist* curl_slist_append(struct curl_slist* list, const char* text) {
    return Curl().loaded ? Curl().curl_slist_append(list, text) : nullptr;
}

void curl_slist_free_all(struct curl_slist* list) {
    if (list && Curl().loaded)
        Curl().curl_slist_free_all(list);
}

} // extern "C"
