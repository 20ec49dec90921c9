#include "app/ProgramDirectory.h"

#include "store/TDataModuleNotizen.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kHelpName = QStringLiteral("zettelwerk.chm");

QString WithSeparator(QString dir) {
    if (!dir.endsWith(u'/'))
        dir += u'/';
    return dir;
}

bool Writable(const QString& file) {
    return ::access(QFile::encodeName(file).constData(), W_OK) == 0;
}

} // namespace

TProgramDirectoryChoice ChooseProgramDirectory(const TProgramDirectoryFacts& facts) {
    // Not installed (no shared copy): the executable's directory as ever, with or without a
    // database, so a missing one is reported there.
    if (facts.exeDatabaseWritable || !facts.sharedDatabaseExists)
        return {facts.exeDirectory, false};
    return {facts.dataDirectory, !facts.dataDatabaseExists};
}

QString UserDataDirectory(const QString& xdgDataHome, const QString& home) {
    const QString base =
        QDir::isAbsolutePath(xdgDataHome) ? xdgDataHome : home + QStringLiteral("/.local/share");
    return WithSeparator(QDir::cleanPath(base + QStringLiteral("/zettelwerk")));
}

QString SharedDataDirectory(const QString& exeDirectory) {
    return WithSeparator(QDir::cleanPath(exeDirectory + QStringLiteral("/../share/zettelwerk")));
}

TProgramDirectoryFacts GatherProgramDirectoryFacts(const QString& exeDirectory,
                                                   const QString& dataDirectory) {
    TProgramDirectoryFacts facts;
    facts.exeDirectory = WithSeparator(exeDirectory);
    facts.dataDirectory = WithSeparator(dataDirectory);
    const QString exeDatabase = facts.exeDirectory + kDatabaseFileName;
    facts.exeDatabaseWritable = QFileInfo(exeDatabase).isFile() && Writable(exeDatabase);
    facts.sharedDatabaseExists = QFileInfo(SharedDataDirectory(exeDirectory) + kDatabaseFileName).isFile();
    // A dangling link or a directory of that name counts too: it is not ours to replace.
    facts.dataDatabaseExists = QFileInfo(facts.dataDirectory + kDatabaseFileName).exists() ||
                               QFileInfo(facts.dataDirectory + kDatabaseFileName).isSymLink();
    return facts;
}

bool InstallDatabaseCopy(const QString& source, const QString& targetDirectory, QString* error) {
    const QString dir = WithSeparator(targetDirectory);
    const QString target = dir + kDatabaseFileName;
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (!QDir().mkpath(dir))
        return fail(QStringLiteral("Verzeichnis %1 kann nicht angelegt werden").arg(dir));
    if (QFileInfo(target).exists() || QFileInfo(target).isSymLink())
        return true;

    const QString temp = dir + QStringLiteral(".%1.%2.tmp").arg(kDatabaseFileName).arg(::getpid());
    QFile::remove(temp);
    if (!QFile::copy(source, temp)) {
        QFile::remove(temp);
        return fail(QStringLiteral("%1 kann nicht nach %2 kopiert werden").arg(source, temp));
    }
    QFile::setPermissions(temp, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    // A hard link fails when the name exists meanwhile: nothing is ever replaced.
    const QByteArray tempName = QFile::encodeName(temp);
    bool placed = ::link(tempName.constData(), QFile::encodeName(target).constData()) == 0;
    const int linkError = placed ? 0 : errno;
    if (!placed && linkError != EEXIST)
        placed = QFile::rename(temp, target); // file systems without hard links; refuses an existing name
    QFile::remove(temp);
    if (placed || linkError == EEXIST || QFileInfo(target).exists())
        return true;
    return fail(QStringLiteral("%1 kann nicht angelegt werden: %2")
                    .arg(target, QString::fromLocal8Bit(std::strerror(linkError))));
}

bool MakePrivateDirectory(const QString& directory, QString* error) {
    const QString dir = QDir::cleanPath(directory);
    const QByteArray name = QFile::encodeName(dir);
    // Made closed from the start, so that no other account looks in even for a moment.
    if (!QFileInfo(dir).isDir() && (!QDir().mkpath(QFileInfo(dir).path()) ||
                                    (::mkdir(name.constData(), S_IRWXU) != 0 && errno != EEXIST))) {
        if (error)
            *error = QStringLiteral("Verzeichnis %1 kann nicht angelegt werden: %2")
                         .arg(dir, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    struct stat st {};
    if (::stat(name.constData(), &st) == 0 && (st.st_mode & 07777) == S_IRWXU)
        return true;
    if (::chmod(name.constData(), S_IRWXU) != 0) {
        if (error)
            *error = QStringLiteral("Verzeichnis %1 kann nicht auf den Modus 0700 gesetzt werden: %2")
                         .arg(dir, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

QString PrepareProgramDirectory(const QString& exeDirectory, QString* error) {
    const QString data = UserDataDirectory(qEnvironmentVariable("XDG_DATA_HOME"), QDir::homePath());
    const TProgramDirectoryChoice choice =
        ChooseProgramDirectory(GatherProgramDirectoryFacts(exeDirectory, data));
    // The data directory holds the notes, their backups and the drafts of what is typed. A home
    // is open to every account on Debian (0755), and so is a directory made by an earlier version
    // or by "mkdir -p": it is closed on every start, not only when it is made.
    if (choice.directory == data || QFileInfo(data).isDir())
        MakePrivateDirectory(data, error);
    if (choice.copyDatabase)
        InstallDatabaseCopy(SharedDataDirectory(exeDirectory) + kDatabaseFileName, choice.directory, error);
    return choice.directory;
}

QString FindHelpFile(const QString& exeDirectory) {
    const QString beside = WithSeparator(exeDirectory) + kHelpName;
    if (QFileInfo::exists(beside))
        return beside;
    const QString shared = SharedDataDirectory(exeDirectory) + kHelpName;
    return QFileInfo::exists(shared) ? shared : beside;
}
