#include "updater/UpdaterCore.h"

#include "platform/CommandLine.h"
#include "platform/Process.h"
#include "platform/Unpacker.h"
#include "update/IniFile.h"
#include "update/PrefixExpansion.h"
#include "update/UpdateLog.h"
#include "update/unpack/Unpacking.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kInstructionValueLength = 128;
constexpr int kMaxInstructionDepth = 16; // instruction files naming each other

bool EndsWithNoCase(const QString& text, const QString& tail) {
    return text.endsWith(tail, Qt::CaseInsensitive);
}

QString Extension(const QString& name) {
    const QString file = QFileInfo(name).fileName();
    const qsizetype dot = file.lastIndexOf(u'.');
    return dot < 0 ? QString() : file.mid(dot).toUpper();
}

// Moves a file, also across file systems; 0 or the system's error number.
int MoveFile(const QString& from, const QString& to) {
    const QByteArray f = QFile::encodeName(from);
    const QByteArray t = QFile::encodeName(to);
    if (::rename(f.constData(), t.constData()) == 0)
        return 0;
    const int err = errno;
    if (err != EXDEV)
        return err;
    QFile::remove(to);
    if (!QFile::copy(from, to))
        return EIO;
    QFile::remove(from);
    return 0;
}

} // namespace

TUpdater::TUpdater(TProcessFacility& process, bool logging, const QString& logFileName)
    : process_(process), logging_(logging), logFileName_(logFileName) {}

void TUpdater::Log(const QString& text) {
    if (!logging_)
        return;
    AppendLogLine(logFileName_, FormatUpdaterLogLine(QDateTime::currentDateTime(), text,
                                                     SystemDateSeparator(), SystemTimeSeparator()));
}

QString TUpdater::TargetPath(const QString& targetDir, const QString& fileName) const {
    if (targetDir.isEmpty() || targetDir.endsWith(u'/'))
        return targetDir + fileName;
    return targetDir + u'/' + fileName;
}

void TUpdater::ProcessComponent(const QString& name, const QString& targetDir) {
    const QString ext = Extension(name);
    if (EndsWithNoCase(name, "_NEW")) {
        // Replacement file: the new file takes the old one's place (and its permissions,
        // so a replaced program stays executable).
        const QString base = name.left(name.size() - 4);
        const QString target = TargetPath(targetDir, base);
        struct stat old {};
        const bool hadOld = ::stat(QFile::encodeName(target).constData(), &old) == 0;
        if (!targetDir.isEmpty())
            MakeDirectoryPath(targetDir);
        if (!targetDir.isEmpty() &&
            QFileInfo(target).absoluteFilePath() != QFileInfo(base).absoluteFilePath()) {
            if (::unlink(QFile::encodeName(base).constData()) != 0)
                Log("upd io error " + QString::number(errno) + " in delete file:" + base);
        }
        const int err = MoveFile(name, target);
        if (err != 0) {
            Log("upd io error " + QString::number(err) + " in rename file:" + targetDir + base);
            return;
        }
        if (hadOld)
            ::chmod(QFile::encodeName(target).constData(), old.st_mode & 07777);
    } else if (ext == ".INF") {
        ProcessInstructionFile(name);
    } else if (ext == ".PAT") {
        const QString file = QFileInfo(name).fileName();
        const QString exe = file.left(file.size() - 4) + ".EXE";
        QString cmd = "patcher.exe";
        if (logging_)
            cmd += " -v";
        cmd += u' ' + file + u' ' + exe;
        if (logging_)
            cmd += " >> WUPDATE.LOG";
        process_.RunAndWait(cmd, TWindowShow::Hidden);
        QFile::remove(name);
    } else if (ext == ".CAB") {
        Log("upd cab extract " + name + " " + targetDir);
        if (ExtractCabinet(name, targetDir) == 0)
            QFile::remove(name);
    } else if (ext == ".EXE") {
        Log("upd execute " + name + " " + targetDir);
        // A program file from the download has no execute permission yet; a bare name means
        // the file in the current directory.
        QFile::setPermissions(name, QFile::permissions(name) | QFile::ExeOwner | QFile::ExeUser);
        const QString path = name.contains(u'/') ? name : "./" + name;
        process_.RunAndWait(QuoteArgument(path), TWindowShow::Hidden);
        process_.Sleep(500);
        QFile::remove(name);
    } else {
        Log("upd lzexpand " + name + " " + targetDir);
        const QString expanded = LzExpandedName(name);
        if (expanded.isEmpty())
            return;
        Log("upd lzexpand dest. filename " + expanded);
        if (!Unpacker().ExpandSzdd(name, expanded))
            return;
        if (!targetDir.isEmpty()) {
            if (!QFileInfo::exists(targetDir))
                MakeDirectoryPath(targetDir);
            MoveFile(expanded, TargetPath(targetDir, QFileInfo(expanded).fileName()));
        }
    }
}

void TUpdater::ProcessInstructionFile(const QString& name) {
    Log("upd inf file " + name);
    if (depth_ >= kMaxInstructionDepth)
        return;
    ++depth_;
    const TIniFile ini(name);
    const qint32 count = ini.ReadInteger("FILES", "COUNT", 0);
    for (qint32 i = 1; i <= count; ++i) {
        const QString file =
            ini.ReadString("FILES", "FILE" + QString::number(i), "").left(kInstructionValueLength);
        const QString target =
            ini.ReadString("FILES", "TARGET" + QString::number(i), "").left(kInstructionValueLength);
        Log("upd inf: " + file + " " + target);
        ProcessComponent(file, ExpandPrefixes(target, StandardPrefix));
    }
    --depth_;
}

int RunUpdater(const QStringList& args, TProcessFacility& process) {
    bool ok = false;
    const qint64 pid = args.value(0).toLongLong(&ok);
    if (!ok)
        return 0;
    process.WaitForProcessEnd(pid);
    process.Sleep(500);

    TUpdater updater(process, args.value(1) == "L");
    for (qsizetype i = 3; i < args.size(); ++i)
        updater.ProcessComponent(args[i], QString());

    const QString restart = args.value(2);
    if (args.size() >= 3 && restart != "null") {
        updater.Log("upd restart " + restart);
        process.Start(restart, TWindowShow::Normal, false);
    }
    return 0;
}
