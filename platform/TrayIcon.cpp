#include "platform/TrayIcon.h"

#include <QAction>
#include <QMenu>

namespace {
TTrayIconFactory& factory() {
    static TTrayIconFactory f;
    return f;
}
} // namespace

void SetTrayIconFactory(TTrayIconFactory f) {
    factory() = std::move(f);
}

std::unique_ptr<TTrayIconHost> CreateTrayIconHost(QObject* parent) {
    return factory() ? factory()(parent) : CreatePlatformTrayIconHost(parent);
}

QString CutTrayTip(const QString& tip) {
    return tip.left(kMaxTrayTipLength);
}

TTrayIcon::TTrayIcon(QObject* parent) : QObject(parent), host_(CreateTrayIconHost(nullptr)) {
    setObjectName(QStringLiteral("TrayIcon"));
    connect(host_.get(), &TTrayIconHost::DoubleClicked, this, &TTrayIcon::DoubleClick);
}

TTrayIcon::~TTrayIcon() {
    if (host_)
        host_->Hide();
}

void TTrayIcon::SetIcon(const QIcon& icon) {
    icon_ = icon;
    host_->SetIcon(icon);
}

void TTrayIcon::SetHint(const QString& hint) {
    hint_ = hint;
    host_->SetToolTip(CutTrayTip(hint));
}

void TTrayIcon::SetPopupMenu(QMenu* menu) {
    menu_ = menu;
    host_->SetContextMenu(menu);
}

bool TTrayIcon::Startup() {
    bool showMainForm = true;
    if (OnStartup)
        OnStartup(this, showMainForm);
    host_->SetToolTip(CutTrayTip(hint_));
    Show();
    return showMainForm;
}

void TTrayIcon::Show() {
    visible_ = true;
    host_->Show();
}

void TTrayIcon::Hide() {
    visible_ = false;
    host_->Hide();
}

void TTrayIcon::ShowMessage(const QString& title, const QString& text) {
    host_->ShowMessage(title, text);
}

void TTrayIcon::DoubleClick() {
    if (!menu_)
        return;
    // The first default action in menu order; QMenu keeps only one.
    if (QAction* a = menu_->defaultAction(); a && a->isEnabled())
        a->trigger();
}
