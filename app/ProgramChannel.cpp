#include "app/ProgramChannel.h"

#include "store/ConnectionSettings.h"
#include "store/fb/EngineRoot.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int kMaxLineBytes = 4096;
constexpr int kLockWaitMs = 5000;
constexpr int kIdleCallerMs = 10000;
const QLatin1String kTokenPrefix("token=");

bool Address(const QString& path, sockaddr_un* address) {
    const QByteArray name = QFile::encodeName(path);
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    if (name.isEmpty() || name.size() >= static_cast<qsizetype>(sizeof(address->sun_path)))
        return false;
    std::memcpy(address->sun_path, name.constData(), name.size());
    return true;
}

// A connected socket, or -1 when nobody listens there. A local connect does not wait.
int Connect(const QString& path) {
    sockaddr_un address;
    if (!Address(path, &address))
        return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool SendAll(int fd, const QByteArray& bytes) {
    for (qsizetype sent = 0; sent < bytes.size();) {
        const ssize_t n = ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

// One line from the socket within timeoutMs (without its line break); empty when none came.
QByteArray ReadLine(int fd, int timeoutMs) {
    QByteArray line;
    QElapsedTimer timer;
    timer.start();
    while (!line.contains('\n') && line.size() < kMaxLineBytes) {
        const qint64 left = timeoutMs - timer.elapsed();
        if (left <= 0)
            return {};
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return {};
        char block[256];
        const ssize_t n = ::recv(fd, block, sizeof block, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return {};
        line.append(block, n);
    }
    return line.left(line.indexOf('\n'));
}

// A connected caller of the running program, until its line is read or it is given up.
class TCaller : public QObject {
public:
    TCaller(int socket, QObject* parent)
        : QObject(parent), fd(socket), reader(new QSocketNotifier(socket, QSocketNotifier::Read, this)) {
        QTimer::singleShot(kIdleCallerMs, this, [this] { End(); });
    }
    ~TCaller() override { ::close(fd); }
    void End() {
        reader->setEnabled(false);
        deleteLater();
    }

    const int fd;
    QSocketNotifier* const reader;
    QByteArray line;
};

} // namespace

QString ProgramChannelDirectory() {
    fb::TEngineStateFacts facts;
    auto env = [](const char* name) { return qEnvironmentVariable(name).toStdString(); };
    facts.xdgRuntimeDir = env("XDG_RUNTIME_DIR");
    const std::string standardRuntime = "/run/user/" + std::to_string(::getuid());
    struct stat st {};
    if (::lstat(standardRuntime.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid())
        facts.accountRuntimeDir = standardRuntime;
    facts.xdgCacheHome = env("XDG_CACHE_HOME");
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        facts.accountHome = pw->pw_dir;
    facts.home = env("HOME");
    for (const std::string& base : fb::EngineStateCandidates(facts)) {
        const QString dir = QString::fromStdString(base);
        QDir().mkpath(dir);
        if (::lstat(base.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
            continue; // a link, or someone else's
        ::chmod(base.c_str(), S_IRWXU);
        return dir;
    }
    return {};
}

QString ProgramChannelName(const QString& database) {
    QString file = database;
    if (!IsServerConnection(database)) {
        const QFileInfo info(database);
        file = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    }
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
    if (listening_ >= 0) {
        delete accept_;
        ::close(listening_);
        ::unlink(QFile::encodeName(path_).constData());
    }
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
    const int fd = Connect(path_);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

TDelivery TProgramChannel::Send(const QStringList& words, const QString& activationToken, int timeoutMs) {
    Lock(); // without the lock (a start hanging for seconds) it goes on all the same
    const int fd = Connect(path_);
    if (fd < 0)
        return TDelivery::NoProgram; // the lock is kept until this start listens
    Release();
    const bool sent = SendAll(fd, RequestLine(words, activationToken).toUtf8() + '\n');
    const QByteArray answer = sent ? ReadLine(fd, timeoutMs).trimmed() : QByteArray();
    ::close(fd);
    return answer == "ok" ? TDelivery::Delivered : TDelivery::NoAnswer;
}

bool TProgramChannel::Listen(QString* error) {
    if (listening_ >= 0)
        return true;
    auto fail = [this, error](const QString& what) {
        if (error)
            *error = what;
        Release();
        return false;
    };
    Lock();
    if (SomebodyListens()) {
        Release();
        return false;
    }
    sockaddr_un address;
    if (!Address(path_, &address))
        return fail(path_.isEmpty() ? QStringLiteral("kein eigenes Verzeichnis für den Socket")
                                    : QStringLiteral("der Name des Sockets ist zu lang"));
    // A socket left by a program that was killed answers nobody: it is replaced. Anything else
    // of that name is not ours to remove.
    const QByteArray name = QFile::encodeName(path_);
    struct stat st {};
    if (::lstat(name.constData(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode))
            return fail(QStringLiteral("dort liegt etwas anderes als ein Socket"));
        ::unlink(name.constData());
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || ::listen(fd, 8) != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        return fail(why);
    }
    ::chmod(name.constData(), S_IRUSR | S_IWUSR); // the user's own, whatever the umask
    listening_ = fd;
    accept_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(accept_, &QSocketNotifier::activated, this, [this] { Accept(); });
    Release();
    return true;
}

bool TProgramChannel::Listening() const {
    return listening_ >= 0;
}

void TProgramChannel::Accept() {
    for (;;) {
        const int fd = ::accept4(listening_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return; // EAGAIN: no one else is waiting
        Serve(fd);
    }
}

// One caller: its line is read as it comes; a caller that says nothing, or too much, is dropped.
void TProgramChannel::Serve(int fd) {
    auto* caller = new TCaller(fd, this);
    connect(caller->reader, &QSocketNotifier::activated, caller, [this, caller] {
        char block[512];
        const ssize_t n = ::recv(caller->fd, block, sizeof block, 0);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (n <= 0)
            return caller->End();
        caller->line.append(block, n);
        const qsizetype end = caller->line.indexOf('\n');
        if (end < 0) {
            if (caller->line.size() > kMaxLineBytes)
                caller->End();
            return;
        }
        const TChannelRequest request = ParseRequestLine(QString::fromUtf8(caller->line.left(end)));
        SendAll(caller->fd, "ok\n");
        caller->End();
        emit Requested(request.words, request.activationToken);
    });
}
