#pragma once
// Whether this account has answered the first-start question on this machine, for a database
// on a server. The database's settings row is shared by every machine that opens it, but the
// autostart it asks about is each account's own: a second machine must be asked too.
#include <QString>

class TFirstStartRecord {
public:
    // A marker file in directory (the user's data directory), one per connection text; prefix
    // names what it marks (another question asked once per connection).
    TFirstStartRecord(const QString& directory, const QString& connection,
                      const QString& prefix = QStringLiteral("erster-start-"));

    bool Answered() const;
    // Empty on success, else the reason; the question then comes again at the next start.
    QString MarkAnswered() const;
    const QString& Path() const { return path_; }

private:
    QString path_;
    QString connection_;
};
