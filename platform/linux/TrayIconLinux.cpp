// Tray icon on the desktop's system tray: Qt chooses the D-Bus StatusNotifierItem tray of
// KDE Plasma and GNOME (with its AppIndicator extension) when a watcher with a registered host
// is on the session bus, and the XEmbed tray otherwise.
#include "platform/TrayIcon.h"

#include <QCursor>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QMenu>
#include <QSystemTrayIcon>

namespace {

// The question Qt asks when it creates the icon, asked at the same moment.
bool StatusNotifierHostPresent() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusInterface watcher(QStringLiteral("org.kde.StatusNotifierWatcher"),
                           QStringLiteral("/StatusNotifierWatcher"),
                           QStringLiteral("org.kde.StatusNotifierWatcher"), bus);
    return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
}

class TSystemTrayIconHost : public TTrayIconHost {
public:
    explicit TSystemTrayIconHost(QObject* parent)
        : TTrayIconHost(parent), statusNotifier_(StatusNotifierHostPresent()), icon_(this) {
        connect(&icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            // XEmbed reports a single click as Trigger, which does nothing here. A panel of the
            // D-Bus tray sends Activate (as Trigger) for the click that opens an item, and
            // knows no double click: that is where the default command belongs.
            if (reason == QSystemTrayIcon::DoubleClick ||
                (statusNotifier_ && reason == QSystemTrayIcon::Trigger))
                emit DoubleClicked();
            // A panel that shows the exported menu itself (KDE, GNOME) never asks for it; one
            // that cannot (swaybar) sends ContextMenu for the right button: the menu is ours
            // to show. On Wayland, without a window to hang it on, it opens as a small window.
            if (statusNotifier_ && reason == QSystemTrayIcon::Context && icon_.contextMenu())
                icon_.contextMenu()->popup(QCursor::pos());
        });
    }
    ~TSystemTrayIconHost() override { icon_.hide(); }

    void SetIcon(const QIcon& icon) override { icon_.setIcon(icon); }
    void SetToolTip(const QString& tip) override { icon_.setToolTip(tip); }
    void SetContextMenu(QMenu* menu) override { icon_.setContextMenu(menu); }
    void Show() override { icon_.show(); }
    void Hide() override { icon_.hide(); }
    bool IsShown() const override { return icon_.isVisible(); }
    // Qt sends it to org.freedesktop.Notifications when that service runs, else as a balloon.
    void ShowMessage(const QString& title, const QString& text) override {
        icon_.showMessage(title, text, QSystemTrayIcon::Information, 30000);
    }

private:
    const bool statusNotifier_;
    QSystemTrayIcon icon_;
};

} // namespace

std::unique_ptr<TTrayIconHost> CreatePlatformTrayIconHost(QObject* parent) {
    return std::make_unique<TSystemTrayIconHost>(parent);
}
