#pragma once
// The application's default error display for exceptions that escape an event handler.
#include <QApplication>
#include <QString>
#include <exception>
#include <type_traits>
#include <utility>

// Appends "." when the last character sorts after "." (so none after ".", "!", ")", ",", "-").
QString WithFullStop(const QString& message);

// The messages of the exceptions nested in e (std::throw_with_nested), outermost first, one a
// line: the cause behind a message that says what happened in the user's words.
QString NestedCauses(const std::exception& e);

// Message box: application title, stop icon, one OK button (through the dialog answerer in
// tests); the nested causes are its details.
void ShowException(const std::exception& e);
void ShowErrorText(const QString& message, const QString& details = {});
// Inside a catch block: "Ausnahme vom Typ <type>" of the exception being handled, the details of
// "Unbekannter Fehler".
QString CurrentExceptionType();

// Runs a handler and shows what it throws: an error ends where it arose, in the handler's own
// window, instead of travelling through Qt's event dispatch (which does not support that).
template <class F> void RunGuarded(F&& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        ShowErrorText(QStringLiteral("Unbekannter Fehler"), CurrentExceptionType());
    }
}

// A slot for connect() that runs handler guarded; the signal's arguments are passed on when
// the handler takes them.
template <class F> auto Guarded(F handler) {
    return [handler = std::move(handler)](auto&&... args) {
        RunGuarded([&] {
            if constexpr (std::is_invocable_v<const F&, decltype(args)...>)
                handler(std::forward<decltype(args)>(args)...);
            else
                handler();
        });
    };
}

// QApplication whose notify() turns an escaping exception into the default error display:
// the last resort for an event handler that is not guarded.
class TZettelwerkApplication : public QApplication {
    Q_OBJECT
public:
    TZettelwerkApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
