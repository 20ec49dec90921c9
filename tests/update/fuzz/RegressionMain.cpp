// Runs a fuzz target's entry point on every file of the given corpus directories (or files), so
// that CTest keeps every kept input, findings included, as a regression test without libFuzzer.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv); // the readers use Qt's file and image classes
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        QStringList files;
        const QFileInfo arg(QString::fromLocal8Bit(argv[i]));
        if (arg.isDir())
            for (const QFileInfo& f : QDir(arg.filePath()).entryInfoList(QDir::Files, QDir::Name))
                files << f.filePath();
        else
            files << arg.filePath();
        for (const QString& path : files) {
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
                return 1;
            }
            const QByteArray bytes = f.readAll();
            std::printf("%s (%lld bytes)\n", qPrintable(path), static_cast<long long>(bytes.size()));
            std::fflush(stdout);
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
            ++inputs;
        }
    }
    std::printf("%d inputs ran without a finding\n", inputs);
    return inputs > 0 ? 0 : 1;
}
