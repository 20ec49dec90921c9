// Build tool: compresses a file into the SZDD format. Usage: szddpack <in> <out> <missing char>
#include "update/SzddEncoder.h"

#include <QFile>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 4 || argv[3][0] == '\0') {
        std::fprintf(stderr, "usage: szddpack <input> <output> <last character of the name>\n");
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "szddpack: cannot read %s\n", argv[1]);
        return 1;
    }
    const QByteArray packed = SzddCompress(in.readAll(), argv[3][0]);
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(packed) != packed.size()) {
        std::fprintf(stderr, "szddpack: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
