// The program idle in the tray after its start stays small: it has loaded nothing it does not
// need yet. The number to reach is the benchmark's (bench/idle_memory.cpp, beside xpad); this
// test keeps a wide bound and names what must not be there.
#include "faults/FaultSupport.h"

#include <QFileInfo>
#include <QMap>
#include <algorithm>
#include <string>

namespace {

// VmRSS of a process in kilobytes, -1 when unknown.
qint64 ResidentKb(qint64 pid) {
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// The largest resident parts of a process (file name or [anon]/[heap]), for the failure message.
std::string LargestMappings(qint64 pid, int count) {
    QFile smaps(QString("/proc/%1/smaps").arg(pid));
    if (!smaps.open(QIODevice::ReadOnly))
        return {};
    QMap<QString, qint64> kb;
    QString current;
    for (const QByteArray& line : smaps.readAll().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (!parts.isEmpty() && parts[0].contains('-') && !parts[0].endsWith(':'))
            current = parts.size() > 5 ? QString::fromUtf8(parts[5]) : QStringLiteral("[anon]");
        else if (line.startsWith("Rss:"))
            kb[current] += parts.value(1).toLongLong();
    }
    QList<QPair<qint64, QString>> sorted;
    for (auto it = kb.begin(); it != kb.end(); ++it)
        sorted.append({it.value(), it.key()});
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::string text;
    for (const auto& [size, name] : sorted.mid(0, count))
        text += "\n  " + std::to_string(size) + " KB " + name.toStdString();
    return text;
}

// Files mapped into a process whose name contains one of the given parts.
QStringList MappedFiles(qint64 pid, const QStringList& parts) {
    QFile maps(QString("/proc/%1/maps").arg(pid));
    QStringList found;
    if (!maps.open(QIODevice::ReadOnly))
        return {QStringLiteral("(no maps)")};
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const QString file = QString::fromUtf8(line.simplified().split(' ').value(5));
        for (const QString& part : parts)
            if (file.contains(part) && !found.contains(file))
                found << file;
    }
    return found;
}

} // namespace

TEST(IdleMemory, TheProgramInTheTrayCarriesNothingItDoesNotNeedYet) {
    TTempDatabase db;
    const QString dir = db.Directory();
    {
        // Not the first start: the program idles in the tray without a question.
        TDataModuleNotizen dm(dir);
        ASSERT_TRUE(dm.DataModuleCreate());
        dm.RunInSharedTransaction(dm.QueryInternes, {"insert into tblinterna (firststart) values (0)"});
    }
    for (const QString& name : {QStringLiteral("zettelwerk"), QStringLiteral("zettelwerk.chm")})
        if (QFileInfo::exists(BinDir() + "/" + name)) {
            ASSERT_TRUE(QFile::copy(BinDir() + "/" + name, dir + name));
            QFile::setPermissions(dir + name, QFile::permissions(BinDir() + "/" + name));
        }
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("ZW_AUTO_ANSWER", "default");
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.path() + "/.config");
    env.insert("XDG_CACHE_HOME", home.path() + "/.cache");
    env.insert("XDG_RUNTIME_DIR", home.path());
    env.remove("FIREBIRD");
    QProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::SeparateChannels);
    program.start(dir + "zettelwerk", {});
    ASSERT_TRUE(program.waitForStarted(10000));

    QString err;
    QElapsedTimer timer;
    timer.start();
    while (program.state() == QProcess::Running && !err.contains("event loop running") &&
           timer.elapsed() < 60000) {
        program.waitForReadyRead(200);
        err += QString::fromUtf8(program.readAllStandardError());
    }
    ASSERT_TRUE(err.contains("event loop running")) << err.toStdString();
    // Past the first-start check one second after the start.
    QElapsedTimer idle;
    idle.start();
    while (idle.elapsed() < 3000 && program.state() == QProcess::Running) {
        program.waitForReadyRead(100);
        err += QString::fromUtf8(program.readAllStandardError());
    }
    ASSERT_EQ(program.state(), QProcess::Running) << err.toStdString();
    const qint64 kb = ResidentKb(program.processId());
    std::printf("resident after start: %lld KB\n", static_cast<long long>(kb));
    ASSERT_GT(kb, 0);
    EXPECT_LT(kb, 60 * 1024) << "resident set of the idle program in KB; largest parts:"
                             << LargestMappings(program.processId(), 15);
    // The transfer library of the update (with its TLS, LDAP and Kerberos libraries), the
    // download's checksum library, Qt's network module, the engine's trace plugin and the fonts
    // of the windows come when needed.
    EXPECT_EQ(MappedFiles(program.processId(), {"libcurl", "libcrypto", "libQt6Network", "libfbtrace",
                                                "libgnutls", ".ttf", ".otf", ".pfb"}),
              QStringList());

    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(30000)) << "no end after SIGTERM";
    err += QString::fromUtf8(program.readAllStandardError());
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << err.toStdString();
    EXPECT_EQ(program.exitCode(), 0) << err.toStdString();
}
