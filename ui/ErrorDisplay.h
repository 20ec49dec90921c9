#pragma once
// The application's default error display for exceptions that escape an event handler.
#include <QApplication>
#include <QString>
#include <exception>

// Appends "." when the last character sorts after "." (so none after ".", "!", ")", ",", "-").
QString WithFullStop(const QString& message);

// Message box: application title, stop icon, one OK button (through the dialog answerer in tests).
void ShowException(const std::exception& e);
void ShowErrorText(const QString& message, const QString& details = {});

// QApplication whose notify() turns an escaping exception into the default error display.
class TZettelwerkApplication : public QApplication {
    Q_OBJECT
public:
    TZettelwerkApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
