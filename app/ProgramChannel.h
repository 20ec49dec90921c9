#pragma once
// The door of the running program for later starts of the same user: a local socket in the
// user's runtime directory. `zettelwerk --neue-notiz` sends its request through it and ends;
// finding nobody behind it, that start becomes the program and listens itself.
//
// One line goes in: request words separated by blanks ("neue-notiz suchen"), optionally
// followed by "token=<activation token>"; one line comes back: "ok" once the request is taken.
//
// The socket is a Unix domain socket served with Qt's socket notifier: Qt's own local socket
// classes would bring Qt Network into the program, which costs more than a megabyte of
// resident memory all day in the tray for these few lines.
#include <QObject>
#include <QString>
#include <QStringList>

class QLockFile;
class QSocketNotifier;

// The program's directory of this user for the session, where the engine keeps its lock files
// as well ($XDG_RUNTIME_DIR/zettelwerk, else /run/user/<uid>/zettelwerk, else in the cache
// directory): the first of fb::EngineStateCandidates() that is, or can be made, this user's own
// with mode 0700. Every start of the user finds the same one. Empty when none can be made.
QString ProgramChannelDirectory();

// Programs on different databases are different programs: each file, and each server
// connection text, has its own door.
QString ProgramChannelName(const QString& database);

// The request line and its reading.
QString RequestLine(const QStringList& words, const QString& activationToken);
struct TChannelRequest {
    QStringList words;
    QString activationToken;
};
TChannelRequest ParseRequestLine(const QString& line);

enum class TDelivery {
    Delivered, // the running program took the request
    NoProgram, // nobody listens: this start becomes the program
    NoAnswer,  // somebody listens but did not answer in time
};

class TProgramChannel : public QObject {
    Q_OBJECT
public:
    // socketPath: ProgramChannelDirectory() + "/" + ProgramChannelName().
    explicit TProgramChannel(const QString& socketPath, QObject* parent = nullptr);
    ~TProgramChannel() override;

    QString SocketPath() const { return path_; }

    // Hands the request to the program listening at the socket. Holds the door's lock while
    // it looks, and keeps it when nobody listens, until Listen() or Release(): two starts at
    // the same moment do not both become the program.
    TDelivery Send(const QStringList& words, const QString& activationToken, int timeoutMs);

    // Starts listening unless another program already does (false, nothing to report), or the
    // socket cannot be made (false with `error`).
    bool Listen(QString* error = nullptr);
    bool Listening() const;
    void Release(); // the lock taken by Send()

signals:
    // A later start asks for windows.
    void Requested(const QStringList& words, const QString& activationToken);

private:
    bool Lock();
    bool SomebodyListens();
    void Accept();
    void Serve(int socket);

    QString path_;
    QLockFile* lock_ = nullptr;
    int listening_ = -1; // the listening socket
    QSocketNotifier* accept_ = nullptr;
};
