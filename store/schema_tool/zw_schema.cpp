// zw-schema FILE: brings a notes database file to the program's schema version, as the program
// does on connect. The build runs it on the delivered database, so that the delivered file and
// an upgraded one are made by the same steps.
#include "store/SchemaUpgrade.h"
#include "store/TDataModuleNotizen.h"
#include "store/fb/FbHandles.h"

#include <QFile>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Aufruf: zw-schema DATENBANKDATEI\n");
        return 2;
    }
    try {
        const TCredentials account;
        fb::Attachment att;
        att.Attach(argv[1], account.user.toStdString(), account.password.toStdString());
        const TSchemaReport report = UpgradeSchema(att, 3);
        att.Detach();
        std::printf("%s: Schema %d -> %d\n", argv[1], report.found, report.version);
        if (report.state == TSchemaState::Unavailable || report.state == TSchemaState::NotNotes) {
            std::fprintf(stderr, "zw-schema: %s\n", qPrintable(report.detail));
            return 1;
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zw-schema: %s\n", e.what());
        return 1;
    }
}
