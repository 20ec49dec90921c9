#include "ui/ErrorDisplay.h"

#include "ui/MessageDialogs.h"

#include <QGuiApplication>
#include <QStringList>
#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <typeinfo>

QString WithFullStop(const QString& message) {
    if (!message.isEmpty() && message.back() > QChar('.'))
        return message + QLatin1Char('.');
    return message;
}

void ShowErrorText(const QString& message, const QString& details) {
    ShowDialogRequest(TDialogRequest{QGuiApplication::applicationDisplayName(), WithFullStop(message),
                                     TMsgDlgType::Error, mbOK, 0, details});
}

QString CurrentExceptionType() {
    const std::type_info* type = abi::__cxa_current_exception_type();
    if (!type)
        return {};
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> name(
        abi::__cxa_demangle(type->name(), nullptr, nullptr, &status), &std::free);
    return QStringLiteral("Ausnahme vom Typ ") +
           QString::fromUtf8(status == 0 && name ? name.get() : type->name());
}

QString NestedCauses(const std::exception& e) {
    QStringList causes;
    const std::exception* current = &e;
    std::exception_ptr keep; // holds the exception current points into
    for (int depth = 0; current && depth < 8; ++depth) {
        const auto* nested = dynamic_cast<const std::nested_exception*>(current);
        if (!nested || !nested->nested_ptr())
            break;
        keep = nested->nested_ptr();
        current = nullptr;
        try {
            std::rethrow_exception(keep);
        } catch (const std::exception& inner) {
            causes << QString::fromUtf8(inner.what());
            current = &inner;
        } catch (...) {
            causes << CurrentExceptionType();
        }
    }
    return causes.join(u'\n');
}

void ShowException(const std::exception& e) {
    ShowErrorText(QString::fromUtf8(e.what()), NestedCauses(e));
}

TZettelwerkApplication::TZettelwerkApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TZettelwerkApplication::notify(QObject* receiver, QEvent* event) {
    // The event being handled is abandoned; the program goes on.
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        ShowErrorText(QStringLiteral("Unbekannter Fehler"), CurrentExceptionType());
    }
    return false;
}
