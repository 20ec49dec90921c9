// Opening through the desktop's handler, xdg-open, started with a clean signal mask and
// default signal actions (the program keeps its termination signals blocked).
#include "platform/ShellOpen.h"

#include <QDesktopServices>
#include <QObject>
#include <QUrl>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

// sh backgrounds xdg-open and ends at once, so nothing is left to reap.
bool spawnOpener(const QByteArray& target) {
    const char* argv[] = {"/bin/sh",          "-c",   "xdg-open \"$1\" >/dev/null 2>&1 &", "sh",
                          target.constData(), nullptr};
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, "/bin/sh", nullptr, &attr, const_cast<char**>(argv), environ);
    posix_spawnattr_destroy(&attr);
    if (rc != 0)
        return false;
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class TDesktopShellOpen : public TShellOpen {
public:
    bool Open(const QString& target) override {
        const QUrl url = QUrl::fromUserInput(target);
        return url.isValid() && spawnOpener(url.toEncoded());
    }
};

// Receives the URLs that any part of the program hands to QDesktopServices.
class TUrlRouter : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl& url) { ShellOpen().Open(url.toString()); }
};

} // namespace

TShellOpen& SystemShellOpen() {
    static TDesktopShellOpen opener;
    return opener;
}

void RouteDesktopUrlsThroughShellOpen() {
    static TUrlRouter router;
    for (const char* scheme : {"http", "https", "ftp", "mailto"})
        QDesktopServices::setUrlHandler(QLatin1String(scheme), &router, "open");
}

#include "ShellOpenLinux.moc"
