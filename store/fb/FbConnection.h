#pragma once
// Rules of a connection text as the client library reads it ("/path/notizen.gdb",
// "host:/path", "host/port:alias", "[::1]/3050:alias", "inet://host:port/alias"), and of the
// faults a connection to a server can meet. Pure functions.
#include <string>
#include <vector>

namespace fb {

struct ConnectionText {
    std::string server;   // as written before the database part: "host", "host/3051", "[::1]/3051",
                          // "inet://host:3051"; empty for a local file or alias
    std::string host;     // the machine alone: "host", "::1"
    std::string database; // the server's path or alias, as written
    bool Remote() const { return !server.empty(); }
};

ConnectionText ParseConnectionText(const std::string& text);

// The services manager of the server that holds the database: "service_mgr" for the local
// one, else "host/3051:service_mgr" (or "inet://host:3051/service_mgr").
std::string ServiceManagerName(const ConnectionText& connection);

// The same server with another database on it.
std::string ConnectionTo(const ConnectionText& connection, const std::string& database);

enum class Fault {
    None,
    Login,       // user name or password refused
    UnknownHost, // the host name does not resolve
    Refused,     // nothing listens there (server stopped, wrong port)
    Unreachable, // any other failure to reach the server
    Lost,        // an open connection broke
};

Fault ClassifyFault(const std::vector<long>& codes);

// The German message for a fault of the connection to host (empty host: the local engine).
std::string FaultMessage(Fault fault, const std::string& host);

} // namespace fb
