#pragma once
// A tray icon host that only records what it is told (the offscreen platform has no tray).
#include "platform/TrayIcon.h"

#include <utility>
#include <vector>

class TFakeTrayIconHost : public TTrayIconHost {
    Q_OBJECT
public:
    explicit TFakeTrayIconHost(QObject* parent = nullptr);
    ~TFakeTrayIconHost() override;

    void SetIcon(const QIcon& i) override { icon = i; }
    void SetToolTip(const QString& tip) override { toolTip = tip; }
    void SetContextMenu(QMenu* m) override { menu = m; }
    void Show() override {
        shown = true;
        ++showCount;
    }
    void Hide() override { shown = false; }
    bool IsShown() const override { return shown; }
    void ShowMessage(const QString& title, const QString& text) override {
        messages.push_back({title, text});
    }

    void SimulateDoubleClick() { emit DoubleClicked(); }

    QIcon icon;
    QString toolTip;
    QMenu* menu = nullptr;
    bool shown = false;
    int showCount = 0;
    std::vector<std::pair<QString, QString>> messages; // (title, text) of every notification

    static TFakeTrayIconHost* Last(); // the most recently made host still alive, or nullptr
};

// Every TTrayIcon made from now on gets a fake host.
void UseFakeTrayIcons();
