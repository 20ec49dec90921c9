// libFuzzer target: INI reading and the evaluation of an update control file.
#include "update/ControlFile.h"
#include "update/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>

namespace {

struct TSandbox {
    QTemporaryDir dir;
    TSandbox() {
        for (const char* name : {"a", "b.bin", "zettelwerk"}) {
            QFile f(dir.filePath(name));
            if (f.open(QIODevice::WriteOnly))
                f.write("sandbox file");
        }
    }
};

TSandbox& Sandbox() {
    static TSandbox sandbox;
    return sandbox;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const TIniFile ini = TIniFile::FromBytes(bytes);

    TUpdateRules rules;
    rules.UseCRC32 = size % 2 == 1;
    rules.VersionCheck = size % 3 == 0 ? vcAlways : vcUpdateOnly;
    // Every local name the file gives is kept inside the sandbox directory.
    const QString root = Sandbox().dir.path();
    rules.ConvertPrefix = [&](QString& path) {
        QString flat = path;
        flat.replace('/', '_');
        path = root + "/" + flat.left(64);
    };
    rules.ResolvePrefix = [&](const QString& name) -> std::optional<QString> {
        if (name == "APP")
            return QString("_");
        return std::nullopt;
    };
    int reports = 0;
    rules.Report = [&](int, const QString&, int, int) { ++reports; };

    try {
        const TUpdateConditions c = EvaluateUpdateConditions(ini, rules);
        if (c.Result < ucrNewDate || c.Result > ucrVersionBased)
            __builtin_trap();
        TFileList list;
        const int n = ReadFileList(ini, rules, list);
        if (n != list.Count() || n > 1 + int(size))
            __builtin_trap();
        SelectFilesToFetch(list, rules);
    } catch (const EIntOverflow&) {
    }
    (void)ini.ReadInteger("files", "count", 0);
    (void)ini.ReadFlag("application", "appupdate");
    (void)ConvertMessage(ini.ReadString("action", "msg", QString()));
    return 0;
}
