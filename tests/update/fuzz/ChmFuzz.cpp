// libFuzzer target: the compiled help file as the help viewer opens it (context map, title,
// default topic, contents file, topics).
#include "platform/linux/ChmArchive.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir sandbox;
    const QString path = sandbox.filePath("zettelwerk.chm");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    TChmArchive chm;
    if (!chm.Open(path))
        return 0;
    for (int context : {1001, 1002, 1003, 1004, 1005, 1006})
        if (const QString topic = chm.TopicOfContext(context); !topic.isEmpty())
            (void)chm.Read(topic);
    (void)chm.Title();
    if (!chm.DefaultTopic().isEmpty())
        (void)chm.Read(chm.DefaultTopic());
    if (!chm.ContentsFile().isEmpty())
        if (const auto hhc = chm.Read(chm.ContentsFile()))
            (void)ParseChmContents(QString::fromUtf8(*hhc));
    const QStringList names = chm.FileNames();
    for (int i = 0; i < names.size() && i < 8; ++i)
        (void)chm.Read(names[i]);
    return 0;
}
