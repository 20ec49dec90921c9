#include "ui/WindowShow.h"

#include <QDialog>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <utility>

namespace {

QString& PendingToken() {
    static QString token;
    return token;
}

bool OnWayland() {
    return QGuiApplication::platformName().startsWith(u"wayland");
}

// Qt's Wayland plugin takes the token from the environment at the request, and would take it
// at any other request too (Qt asks for one itself when the focus moves between widgets): it is
// there for this request only.
void RequestActivation(QWindow* window, const QString& token) {
    if (!window->isActive()) {
        if (!token.isEmpty())
            qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
        window->requestActivate();
    }
    qunsetenv("XDG_ACTIVATION_TOKEN");
}

// Asks for the activation once the window's first frame is on the screen. A Wayland compositor
// takes an activation request only for a surface it shows; a request (and a token) made right
// after show() is lost.
class TActivateWhenShown : public QObject {
public:
    TActivateWhenShown(QWindow* window, QString token)
        : QObject(window), window_(window), token_(std::move(token)) {
        setObjectName(QStringLiteral("activateWhenShown"));
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Expose && window_->isExposed()) {
            window_->removeEventFilter(this);
            // After the exposure's paint has been committed.
            QTimer::singleShot(0, window_,
                               [window = window_, token = token_] { RequestActivation(window, token); });
            deleteLater();
        }
        return false;
    }

private:
    QWindow* window_;
    QString token_;
};

} // namespace

void SetActivationToken(const QString& token) {
    PendingToken() = token;
}

void ShowAndBringToFront(QWidget* window) {
    if (!window)
        return;
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    const QString token = std::exchange(PendingToken(), QString());
    window->show();
    window->raise();
    QWindow* handle = window->windowHandle();
    if (!handle || !OnWayland()) {
        window->activateWindow();
        return;
    }
    if (handle->isExposed())
        RequestActivation(handle, token);
    else if (!handle->findChild<QObject*>(QStringLiteral("activateWhenShown"), Qt::FindDirectChildrenOnly))
        new TActivateWhenShown(handle, token);
}

void ShowModal(QWidget* window) {
    if (!window)
        return;
    if (auto* dialog = qobject_cast<QDialog*>(window)) {
        dialog->exec();
        return;
    }
    const Qt::WindowModality before = window->windowModality();
    window->setWindowModality(Qt::ApplicationModal);
    window->show();
    QEventLoop loop;
    QPointer<QWidget> guard(window);
    while (guard && guard->isVisible())
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    if (guard)
        guard->setWindowModality(before);
}
