#pragma once
// The notification-area icon: a platform host (Linux: the desktop's system tray; tests: a fake)
// and the component TTrayIcon that the main window owns.
#include <QIcon>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QMenu;

// What the platform must do for one tray icon.
class TTrayIconHost : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~TTrayIconHost() override = default;

    virtual void SetIcon(const QIcon& icon) = 0;
    virtual void SetToolTip(const QString& tip) = 0;
    // The menu opens on the right mouse button at the pointer; the host does not own it.
    virtual void SetContextMenu(QMenu* menu) = 0;
    virtual void Show() = 0; // also re-adds the icon after the tray host came back
    virtual void Hide() = 0;
    virtual bool IsShown() const = 0;
    // A notification beside the icon (the desktop's notification service where there is one).
    virtual void ShowMessage(const QString& title, const QString& text) = 0;

signals:
    // The default command: a left double click (XEmbed tray), or the activation that a panel
    // of the D-Bus tray sends for a click on the item.
    void DoubleClicked();
};

// Makes the host of every new TTrayIcon; tests install a fake one.
using TTrayIconFactory = std::function<std::unique_ptr<TTrayIconHost>(QObject* parent)>;
void SetTrayIconFactory(TTrayIconFactory factory); // empty: the platform's own
std::unique_ptr<TTrayIconHost> CreateTrayIconHost(QObject* parent);
std::unique_ptr<TTrayIconHost> CreatePlatformTrayIconHost(QObject* parent);

// Longest tooltip the notification area takes; a longer one is cut.
constexpr int kMaxTrayTipLength = 127;
QString CutTrayTip(const QString& tip);

// The tray icon component: icon, tooltip, popup menu; a double click runs the menu's
// default action. Startup() calls OnStartup once and then shows the icon.
class TTrayIcon : public QObject {
    Q_OBJECT
public:
    explicit TTrayIcon(QObject* parent = nullptr);
    ~TTrayIcon() override; // removes the icon

    void SetIcon(const QIcon& icon);
    QIcon Icon() const { return icon_; }
    void SetHint(const QString& hint); // stored and shown cut to kMaxTrayTipLength
    QString Hint() const { return hint_; }
    void SetPopupMenu(QMenu* menu);
    QMenu* PopupMenu() const { return menu_; }

    // (sender, showMainForm): called once by Startup() before the icon is shown.
    std::function<void(QObject* sender, bool& showMainForm)> OnStartup;
    // Runs OnStartup, sends the tooltip and shows the icon; returns showMainForm.
    bool Startup();

    void Show();
    void Hide();
    bool Visible() const { return visible_; }

    void ShowMessage(const QString& title, const QString& text);

    // A double click: the menu's default action is triggered.
    void DoubleClick();

    TTrayIconHost* Host() const { return host_.get(); }

private:
    std::unique_ptr<TTrayIconHost> host_;
    QIcon icon_;
    QString hint_;
    QMenu* menu_ = nullptr;
    bool visible_ = false;
};
