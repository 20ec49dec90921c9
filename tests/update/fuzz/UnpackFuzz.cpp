// libFuzzer target: cabinet and SZDD unpacking as the update engine and the updater call it
// (ExtractCabinet into a target directory, LzExpandFile beside the file). Nothing may be written
// outside the target directory.
#include "update/unpack/Unpacking.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>

namespace {

void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

// Every path below root.
QStringList Tree(const QString& root) {
    QStringList all;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        all << it.next();
    return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    static QTemporaryDir sandbox;
    const QString root = sandbox.path();
    QDir(root).removeRecursively();
    QDir().mkpath(root + "/in");
    QDir().mkpath(root + "/target");

    Write(root + "/in/update.cab", bytes);
    (void)ExtractCabinet(root + "/in/update.cab", root + "/target/");
    for (const QString& p : Tree(root))
        if (!p.startsWith(root + "/in/") && !p.startsWith(root + "/target/") && p != root + "/in" &&
            p != root + "/target")
            __builtin_trap(); // written outside the target directory

    Write(root + "/in/upd.ex_", bytes);
    (void)LzExpandedName(root + "/in/upd.ex_");
    (void)LzExpandFile(root + "/in/upd.ex_");
    return 0;
}
