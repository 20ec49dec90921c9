// A program that updates itself: runs one update run on the control-file URL given as its first
// argument, trusting the minisign public key file given as its second, answering every question
// with Yes, and ends as the program does after a hand-off.
#include "update/TUpdateEngine.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <cstdio>

namespace {

class TYesHost : public TUpdateHost {
public:
    bool terminated = false;
    TModalResult Ask(const QString&, TMsgDlgType, int buttons) override {
        return (buttons & mbYes) ? TModalResult::Yes : TModalResult::OK;
    }
    bool ShowText(const TTextDialogRequest&) override { return true; }
    void TerminateApplication() override { terminated = true; }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <control file URL> <public key file>\n", argv[0]);
        return 2;
    }
    TYesHost host;
    TUpdateEngine engine;
    engine.SetHost(&host);
    engine.UpdateType = httpUpdate;
    engine.URL = QString::fromLocal8Bit(argv[1]);
    engine.Logging = true;
    QFile key(QString::fromLocal8Bit(argv[2]));
    if (key.open(QIODevice::ReadOnly))
        engine.PublicKey = ParseMinisignPublicKey(key.readAll());
    try {
        engine.RunUpdate();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "update failed: %s\n", e.what());
        return 1;
    }
    // Tests let the program linger after the hand-off to see that the updater waits for it.
    const int linger = qEnvironmentVariableIntValue("ZW_TESTHOST_LINGER_MS");
    if (linger > 0)
        QThread::msleep(static_cast<unsigned long>(linger));
    return host.terminated ? 0 : 3;
}
