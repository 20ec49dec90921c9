#include "app/ProgramChannel.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>

namespace {

constexpr int kMaxLineBytes = 4096;
constexpr int kLockWaitMs = 5000;
constexpr int kConnectMs = 1000;
const QLatin1String kTokenPrefix("token=");

} // namespace

QString ProgramChannelDirectory(const QString& xdgRuntimeDir, const QString& cacheDirectory) {
    if (QDir::isAbsolutePath(xdgRuntimeDir))
        return QDir::cleanPath(xdgRuntimeDir);
    return QDir::cleanPath(cacheDirectory + QStringLiteral("/zettelwerk"));
}

QString ProgramChannelName(const QString& databaseFile) {
    const QFileInfo info(databaseFile);
    const QString file = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    const QByteArray hash = QCryptographicHash::hash(file.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("zettelwerk-") + QString::fromLatin1(hash.left(16));
}

QString RequestLine(const QStringList& words, const QString& activationToken) {
    QString line = words.join(u' ');
    // A token is one word of printable characters; anything else is not passed on.
    if (!activationToken.isEmpty() && !activationToken.contains(QChar(u' ')) &&
        !activationToken.contains(QChar(u'\n')))
        line += u' ' + kTokenPrefix + activationToken;
    return line;
}

TChannelRequest ParseRequestLine(const QString& line) {
    TChannelRequest request;
    for (const QString& word : line.trimmed().split(u' ', Qt::SkipEmptyParts)) {
        if (word.startsWith(kTokenPrefix))
            request.activationToken = word.mid(kTokenPrefix.size());
        else
            request.words << word;
    }
    return request;
}

TProgramChannel::TProgramChannel(const QString& socketPath, QObject* parent)
    : QObject(parent), path_(socketPath) {}

TProgramChannel::~TProgramChannel() {
    Release();
    if (server_)
        server_->close(); // removes the socket file
}

bool TProgramChannel::Lock() {
    if (!lock_) {
        lock_ = new QLockFile(path_ + QStringLiteral(".lock"));
        // A start that died holding it leaves a lock whose process is gone: taken over at once.
        lock_->setStaleLockTime(30000);
    }
    return lock_->isLocked() || lock_->tryLock(kLockWaitMs);
}

void TProgramChannel::Release() {
    if (lock_)
        lock_->unlock();
    delete lock_;
    lock_ = nullptr;
}

bool TProgramChannel::SomebodyListens() {
    QLocalSocket probe;
    probe.connectToServer(path_);
    const bool there = probe.waitForConnected(kConnectMs);
    probe.abort();
    return there;
}

TDelivery TProgramChannel::Send(const QStringList& words, const QString& activationToken, int timeoutMs) {
    Lock(); // without the lock (a start hanging for seconds) it goes on all the same
    QLocalSocket socket;
    socket.connectToServer(path_);
    if (!socket.waitForConnected(kConnectMs))
        return TDelivery::NoProgram; // the lock is kept until this start listens
    Release();
    socket.write(RequestLine(words, activationToken).toUtf8() + '\n');
    QElapsedTimer timer;
    timer.start();
    while (!socket.canReadLine() && timer.elapsed() < timeoutMs &&
           socket.state() == QLocalSocket::ConnectedState)
        socket.waitForReadyRead(static_cast<int>(qMax<qint64>(1, timeoutMs - timer.elapsed())));
    const QByteArray answer = socket.canReadLine() ? socket.readLine().trimmed() : QByteArray();
    return answer == "ok" ? TDelivery::Delivered : TDelivery::NoAnswer;
}

bool TProgramChannel::Listen(QString* error) {
    if (server_ && server_->isListening())
        return true;
    Lock();
    if (SomebodyListens()) {
        Release();
        return false;
    }
    // A socket left by a program that was killed answers nobody: it is replaced.
    QLocalServer::removeServer(path_);
    if (!server_) {
        server_ = new QLocalServer(this);
        server_->setSocketOptions(QLocalServer::UserAccessOption);
        connect(server_, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* socket = server_->nextPendingConnection())
                Serve(socket);
        });
    }
    const bool ok = server_->listen(path_);
    if (!ok && error)
        *error = server_->errorString();
    Release();
    return ok;
}

bool TProgramChannel::Listening() const {
    return server_ && server_->isListening();
}

void TProgramChannel::Serve(QLocalSocket* socket) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // A caller that never says anything is not waited for.
    QTimer::singleShot(10000, socket, [socket] { socket->abort(); });
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        if (!socket->canReadLine()) {
            if (socket->bytesAvailable() > kMaxLineBytes)
                socket->abort();
            return;
        }
        const TChannelRequest request = ParseRequestLine(QString::fromUtf8(socket->readLine(kMaxLineBytes)));
        socket->write("ok\n");
        socket->flush();
        socket->disconnectFromServer();
        emit Requested(request.words, request.activationToken);
    });
}
