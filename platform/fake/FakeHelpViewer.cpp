#include "platform/fake/FakeHelpViewer.h"

QWidget* TFakeHelpViewer::ShowContext(const QString& target, int context) {
    requests.append({target, context});
    if (!returnWindow)
        return nullptr;
    if (!window_)
        window_ = new QWidget;
    window_->setWindowTitle(QStringLiteral("Help %1").arg(context));
    window_->show();
    return window_;
}

void TFakeHelpViewer::CloseAll() {
    ++closeAllCount;
    if (window_)
        window_->hide();
}
