#pragma once
// Which database the program opens and with which account: the embedded file beside the
// program unless a connection is configured, for one run in ZETTELWERK_DATABASE or in the
// user's settings file $XDG_CONFIG_HOME/zettelwerk/zettelwerk.conf (database=, user=,
// password=). The rules are pure functions; LoadConnectionSettings() gathers the facts.
#include "store/TDataModuleNotizen.h"

#include <QString>
#include <QStringList>
#include <optional>

inline const QString kDatabaseVariable = QStringLiteral("ZETTELWERK_DATABASE");
inline const QString kSettingsFileName = QStringLiteral("zettelwerk.conf");

// The settings file as read. A line is "key=value" (blanks around both are dropped), a
// comment starting with '#' or ';', or empty.
struct TSettingsFile {
    QString database;
    std::optional<QString> user;
    std::optional<QString> password;
    QStringList errors; // German, one per line that cannot be read
};
TSettingsFile ParseSettingsFile(const QString& text, const QString& fileName);

// What the file system says of the settings file.
struct TSettingsFileFacts {
    bool exists = false;
    bool regular = true;
    unsigned mode = 0600; // permission bits
    unsigned owner = 0;   // owner's uid
    unsigned user = 0;    // the running account's uid
};
// Empty when the file may be used; else the German reason it is refused: it is not the
// user's, others may change it, or others may read the password it holds.
QString SettingsFileRefusal(const TSettingsFileFacts& facts, const QString& fileName, bool holdsPassword);

enum class TConnectionSource { Embedded, Environment, SettingsFile };

struct TConnectionChoice {
    TConnectionSource source = TConnectionSource::Embedded;
    QString database;         // empty: the embedded file of the program directory
    TCredentials credentials; // the embedded file always gets the defaults
    QString error;            // German; the program does not start when set
};
// ZETTELWERK_DATABASE first, then database= of the file; user= and password= of the file
// serve both. A file that cannot be read or is refused stops the start even when the
// variable names the database, since its account would be used.
TConnectionChoice ChooseConnection(const QString& databaseVariable, const std::optional<TSettingsFile>& file,
                                   const QString& refusal);

// $XDG_CONFIG_HOME/zettelwerk/zettelwerk.conf; a relative or empty XDG_CONFIG_HOME means
// ~/.config.
QString SettingsFilePath(const QString& xdgConfigHome, const QString& home);

// The commented file written when the user has none: it names every key and both forms.
QString SettingsFileTemplate();

// The running program's choice: reads the variable and the file; writes the template (mode
// 0600, its directory 0700) when there is no file.
TConnectionChoice LoadConnectionSettings();

// Whether a connection text names a server ("host:/path", "host/port:alias", "inet://...").
bool IsServerConnection(const QString& database);
