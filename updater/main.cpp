// upd: puts the program's downloaded components in place once the program has ended.
#include "platform/Process.h"
#include "update/UpdateTypes.h"
#include "updater/UpdaterCore.h"

#include <QStringList>
#include <cstdio>

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    try {
        return RunUpdater(args, ProcessFacility());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "upd: %s\n", e.what());
        return 1;
    }
}
