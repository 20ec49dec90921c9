// Writes the tray icon as PNG files for the desktop's icon theme.
// Usage: zw_render_icon <size> <file.png> [<size> <file.png> ...]
#include "ui/ImageListMain.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3 || argc % 2 == 0) {
        std::fprintf(stderr, "usage: %s <size> <file.png> ...\n", argv[0]);
        return 2;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        const int size = std::atoi(argv[i]);
        const QString file = QString::fromLocal8Bit(argv[i + 1]);
        QDir().mkpath(QFileInfo(file).absolutePath());
        if (size < 16 || size > 512 || !ImageListMain::TrayPixmap(size).save(file, "PNG")) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[i + 1]);
            return 1;
        }
    }
    return 0;
}
