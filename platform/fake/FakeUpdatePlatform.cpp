#include "platform/fake/FakeUpdatePlatform.h"

#include <QFile>

TProcessStart TFakeProcessFacility::Start(const QString& commandLine, TWindowShow, bool) {
    started << commandLine;
    TProcessStart r;
    if (startFails) {
        r.errorNumber = startError;
        r.errorText = "No such file or directory";
        return r;
    }
    r.ok = true;
    r.pid = 10000 + started.size();
    return r;
}

bool TFakeProcessFacility::RunAndWait(const QString& commandLine, TWindowShow) {
    waitedRuns << commandLine;
    return true;
}

bool TFakeAniCursors::LoadCursorFromFile(int number, const QString& path) {
    DestroyCursor(number);
    loadedPaths << path;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const auto data = ReadAniCursor(f.readAll());
    if (!data)
        return false;
    registered[number] = data->frames.size();
    return true;
}

TFakeUpdatePlatform::TFakeUpdatePlatform() {
    SetProcessFacility(&process);
    SetOnlineCheck(&online);
    SetHtmlDialog(&html);
    SetWebBrowser(&browser);
    SetAniCursors(&cursors);
}

TFakeUpdatePlatform::~TFakeUpdatePlatform() {
    SetProcessFacility(nullptr);
    SetOnlineCheck(nullptr);
    SetHtmlDialog(nullptr);
    SetWebBrowser(nullptr);
    SetAniCursors(nullptr);
}
