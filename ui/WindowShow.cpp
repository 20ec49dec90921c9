#include "ui/WindowShow.h"

#include <QDialog>
#include <QEventLoop>
#include <QPointer>
#include <QWidget>

void ShowAndBringToFront(QWidget* window) {
    if (!window)
        return;
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
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
