#include "platform/OsFacts.h"

#include <QFile>
#include <sys/utsname.h>

namespace {

class TLinuxOsFacts : public TOsFacts {
public:
    TLinuxOsFacts() {
        for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
            QFile f(QString::fromLatin1(path));
            if (f.open(QIODevice::ReadOnly)) {
                prettyName_ = OsReleasePrettyName(QString::fromUtf8(f.readAll()));
                break;
            }
        }
        utsname u{};
        if (uname(&u) == 0) {
            kernelName_ = QString::fromUtf8(u.sysname);
            kernelRelease_ = QString::fromUtf8(u.release);
        }
    }
    QString PrettyName() const override { return prettyName_; }
    QString KernelName() const override { return kernelName_; }
    QString KernelRelease() const override { return kernelRelease_; }

private:
    QString prettyName_;
    QString kernelName_;
    QString kernelRelease_;
};

} // namespace

TOsFacts& SystemOsFacts() {
    static TLinuxOsFacts facts;
    return facts;
}
