#include "store/fb/FbConnection.h"

#include <algorithm>
#include <array>

namespace fb {

namespace {

constexpr std::array<const char*, 5> kUrlSchemes = {"inet://", "inet4://", "inet6://", "wnet://", "xnet://"};

// Error codes of the client library (ibase.h), listed here so that the rules need no library.
constexpr long kLogin = 335544472L;             // isc_login
constexpr long kLoginError = 335545106L;        // isc_login_error
constexpr long kNetworkError = 335544721L;      // isc_network_error
constexpr long kNetLookup = 335544704L;         // isc_net_lookup_err
constexpr long kNetConnect = 335544722L;        // isc_net_connect_err
constexpr long kNetListen = 335544723L;         // isc_net_connect_listen_err
constexpr long kNetRead = 335544726L;           // isc_net_read_err
constexpr long kNetWrite = 335544727L;          // isc_net_write_err
constexpr long kConnLost = 335544648L;          // isc_conn_lost
constexpr long kLostDbConnection = 335544741L;  // isc_lost_db_connection
constexpr long kAttShutdown = 335544856L;       // isc_att_shutdown
constexpr long kNetServerShutdown = 335544971L; // isc_net_server_shutdown

std::string HostOf(std::string server) {
    for (const char* scheme : kUrlSchemes)
        if (server.rfind(scheme, 0) == 0) {
            server.erase(0, std::string(scheme).size());
            if (!server.empty() && server.front() == '[')
                return server.substr(1, server.find(']') - 1);
            return server.substr(0, server.find(':'));
        }
    if (!server.empty() && server.front() == '[')
        return server.substr(1, server.find(']') - 1);
    return server.substr(0, server.find('/'));
}

bool Has(const std::vector<long>& codes, long code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

} // namespace

ConnectionText ParseConnectionText(const std::string& text) {
    ConnectionText c;
    for (const char* scheme : kUrlSchemes) {
        const std::string s(scheme);
        if (text.rfind(s, 0) != 0)
            continue;
        // inet://host[:port]/database; an IPv6 host stands in brackets.
        size_t from = s.size();
        if (from < text.size() && text[from] == '[')
            from = text.find(']', from);
        const size_t slash = from == std::string::npos ? std::string::npos : text.find('/', from);
        c.server = text.substr(0, slash);
        c.database = slash == std::string::npos ? std::string() : text.substr(slash + 1);
        c.host = HostOf(c.server);
        return c;
    }
    if (text.empty() || text.front() == '/')
        return {{}, {}, text};
    size_t colon;
    if (text.front() == '[') {
        const size_t close = text.find(']');
        colon = close == std::string::npos ? std::string::npos : text.find(':', close);
    } else {
        colon = text.find(':');
    }
    if (colon == std::string::npos || colon == 0)
        return {{}, {}, text}; // an alias of the local engine
    c.server = text.substr(0, colon);
    c.database = text.substr(colon + 1);
    c.host = HostOf(c.server);
    return c;
}

std::string ServiceManagerName(const ConnectionText& connection) {
    return ConnectionTo(connection, "service_mgr");
}

std::string ConnectionTo(const ConnectionText& connection, const std::string& database) {
    if (!connection.Remote())
        return database;
    for (const char* scheme : kUrlSchemes)
        if (connection.server.rfind(scheme, 0) == 0)
            return connection.server + "/" + database;
    return connection.server + ":" + database;
}

Fault ClassifyFault(const std::vector<long>& codes) {
    if (Has(codes, kLogin) || Has(codes, kLoginError))
        return Fault::Login;
    if (Has(codes, kNetLookup))
        return Fault::UnknownHost;
    if (Has(codes, kNetConnect) || Has(codes, kNetListen))
        return Fault::Refused;
    if (Has(codes, kNetRead) || Has(codes, kNetWrite) || Has(codes, kConnLost) ||
        Has(codes, kLostDbConnection) || Has(codes, kAttShutdown) || Has(codes, kNetServerShutdown))
        return Fault::Lost;
    if (Has(codes, kNetworkError))
        return Fault::Unreachable;
    return Fault::None;
}

std::string FaultMessage(Fault fault, const std::string& host) {
    const std::string at = host.empty() ? std::string() : " auf „" + host + "“";
    switch (fault) {
    case Fault::None:
        return {};
    case Fault::Login:
        return "Der Datenbankserver" + at +
               " lehnt die Anmeldung ab: Benutzername oder Kennwort stimmen nicht.\n"
               "Bitte user= und password= in zettelwerk.conf prüfen";
    case Fault::UnknownHost:
        return "Der Rechner „" + host +
               "“ des Datenbankservers ist nicht bekannt.\n"
               "Bitte den Namen in database= prüfen";
    case Fault::Refused:
        return "Der Datenbankserver" + at +
               " nimmt keine Verbindung an.\n"
               "Bitte prüfen, ob der Server läuft und der Port stimmt";
    case Fault::Unreachable:
        return "Der Datenbankserver" + at + " ist nicht erreichbar";
    case Fault::Lost:
        return "Die Verbindung zum Datenbankserver" + at +
               " ist unterbrochen.\n"
               "Die Aktion wurde nicht ausgeführt; was gespeichert war, bleibt erhalten.\n"
               "Die nächste Aktion verbindet wieder, sobald der Server erreichbar ist";
    }
    return {};
}

} // namespace fb
