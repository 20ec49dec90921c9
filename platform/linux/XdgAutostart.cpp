#include "platform/linux/XdgAutostart.h"

#include "platform/Autostart.h"
#include "platform/DesktopEntry.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString XdgAutostartFolder() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart");
}

QString XdgAutostartFile(const QString& name) {
    return XdgAutostartFolder() + u'/' + name + QStringLiteral(".desktop");
}

namespace {

bool FullAccess(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    struct stat st {};
    if (::stat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    return ::faccessat(AT_FDCWD, path.constData(), R_OK | W_OK | X_OK, AT_EACCESS) == 0;
}

class TXdgAutostart : public TAutostart {
public:
    bool CanWrite() const override { return FullAccess(XdgAutostartFolder()); }

    bool Exists(const QString& name) const override {
        if (!CanWrite())
            return false;
        struct stat st {};
        return ::lstat(QFile::encodeName(XdgAutostartFile(name)).constData(), &st) == 0;
    }

    QString Read(const QString& name) const override {
        if (!Exists(name))
            return {};
        QFile file(XdgAutostartFile(name));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QString text = QString::fromUtf8(file.read(1 << 20));
        return DesktopExecProgram(DesktopEntryValue(text, QStringLiteral("Exec")));
    }

    bool Write(const QString& name, const QString& programPath) override {
        const QString folder = XdgAutostartFolder();
        if (!QDir().mkpath(folder) || !FullAccess(folder))
            return false;
        // Written beside the entry and moved over it, so the entry is never half written
        // and an entry that is a link is replaced, not followed.
        QTemporaryFile temp(folder + u'/' + name + QStringLiteral(".desktop.XXXXXX"));
        if (!temp.open())
            return false;
        const QByteArray text = AutostartDesktopFile(name, programPath).toUtf8();
        if (temp.write(text) != text.size() || !temp.flush() || ::fsync(temp.handle()) != 0)
            return false;
        temp.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                            QFileDevice::ReadOther);
        const QByteArray from = QFile::encodeName(temp.fileName());
        const QByteArray to = QFile::encodeName(XdgAutostartFile(name));
        if (std::rename(from.constData(), to.constData()) != 0)
            return false; // the temporary file removes itself
        temp.setAutoRemove(false);
        return true;
    }

    void Remove(const QString& name) override {
        const QString folder = XdgAutostartFolder();
        QDir().mkpath(folder);
        ::unlink(QFile::encodeName(XdgAutostartFile(name)).constData());
    }
};

} // namespace

TAutostart& SystemAutostart() {
    static TXdgAutostart instance;
    return instance;
}
