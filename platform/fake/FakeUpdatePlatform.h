#pragma once
// Test doubles for the facilities of the update run: process start, online check,
// HTML dialog, web browser and animated cursors. Each records what it was asked.
#include "platform/AniCursor.h"
#include "platform/HtmlDialog.h"
#include "platform/OnlineCheck.h"
#include "platform/Process.h"
#include "platform/WebBrowser.h"

#include <QList>
#include <QMap>
#include <QStringList>

class TFakeProcessFacility : public TProcessFacility {
public:
    qint64 pid = 4242;
    bool startFails = false;
    int startError = 2;
    QStringList started;    // command lines given to Start
    QStringList waitedRuns; // command lines given to RunAndWait
    QList<qint64> waitedPids;
    int slept = 0; // milliseconds in total

    qint64 CurrentProcessId() override { return pid; }
    TProcessStart Start(const QString& commandLine, TWindowShow, bool) override;
    bool RunAndWait(const QString& commandLine, TWindowShow) override;
    void WaitForProcessEnd(qint64 p) override { waitedPids << p; }
    void Sleep(int ms) override { slept += ms; }
};

class TFakeOnlineCheck : public TOnlineCheck {
public:
    bool connected = true;
    int asked = 0;
    bool IsConnected() override {
        ++asked;
        return connected;
    }
};

class TFakeHtmlDialog : public THtmlDialog {
public:
    QStringList shown;
    void Show(const QString& address) override { shown << address; }
};

class TFakeWebBrowser : public TWebBrowser {
public:
    bool browserStarts = true;
    QStringList newWindows;
    QStringList systemOpened;
    bool OpenNewWindow(const QString& address) override {
        newWindows << address;
        return browserStarts;
    }
    bool OpenWithSystemHandler(const QString& address) override {
        systemOpened << address;
        return true;
    }
};

class TFakeAniCursors : public TAniCursorFacility {
public:
    QMap<int, int> registered; // number -> frame count
    QMap<QWidget*, int> windowCursor;
    int appCursor = 0;
    int destroyed = 0;
    QStringList loadedPaths;

    bool LoadCursorFromFile(int number, const QString& path) override;
    void DestroyCursor(int number) override {
        if (registered.remove(number))
            ++destroyed;
    }
    void SetWindowCursor(QWidget* w, int number) override { windowCursor[w] = number; }
    void SetApplicationCursor(int number) override { appCursor = number; }
};

// Installs the fakes for the life of a scope and puts the system's facilities back after.
struct TFakeUpdatePlatform {
    TFakeProcessFacility process;
    TFakeOnlineCheck online;
    TFakeHtmlDialog html;
    TFakeWebBrowser browser;
    TFakeAniCursors cursors;
    TFakeUpdatePlatform();
    ~TFakeUpdatePlatform();
};
