#include "ui/ErrorDisplay.h"

#include "ui/MessageDialogs.h"

#include <QGuiApplication>

QString WithFullStop(const QString& message) {
    if (!message.isEmpty() && message.back() > QChar('.'))
        return message + QLatin1Char('.');
    return message;
}

void ShowErrorText(const QString& message) {
    ShowDialogRequest(TDialogRequest{QGuiApplication::applicationDisplayName(), WithFullStop(message),
                                     TMsgDlgType::Error, mbOK, 0});
}

void ShowException(const std::exception& e) {
    ShowErrorText(QString::fromUtf8(e.what()));
}

TZettelwerkApplication::TZettelwerkApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TZettelwerkApplication::notify(QObject* receiver, QEvent* event) {
    // The event being handled is abandoned; the program goes on.
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        ShowErrorText(QStringLiteral("Unbekannter Fehler"));
    }
    return false;
}
