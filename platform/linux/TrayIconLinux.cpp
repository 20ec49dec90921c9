// Tray icon on the desktop's system tray (XEmbed or StatusNotifierItem, as Qt finds it).
#include "platform/TrayIcon.h"

#include <QMenu>
#include <QSystemTrayIcon>

namespace {

class TSystemTrayIconHost : public TTrayIconHost {
public:
    explicit TSystemTrayIconHost(QObject* parent) : TTrayIconHost(parent), icon_(this) {
        connect(&icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::DoubleClick)
                emit DoubleClicked();
        });
    }
    ~TSystemTrayIconHost() override { icon_.hide(); }

    void SetIcon(const QIcon& icon) override { icon_.setIcon(icon); }
    void SetToolTip(const QString& tip) override { icon_.setToolTip(tip); }
    void SetContextMenu(QMenu* menu) override { icon_.setContextMenu(menu); }
    void Show() override { icon_.show(); }
    void Hide() override { icon_.hide(); }
    bool IsShown() const override { return icon_.isVisible(); }

private:
    QSystemTrayIcon icon_;
};

} // namespace

std::unique_ptr<TTrayIconHost> CreatePlatformTrayIconHost(QObject* parent) {
    return std::make_unique<TSystemTrayIconHost>(parent);
}
