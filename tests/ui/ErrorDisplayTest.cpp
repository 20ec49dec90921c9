#include "ui/ErrorDisplay.h"

#include "ui/MessageDialogs.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

TEST(ErrorDisplay, FullStopOnlyAfterCharactersSortingAfterIt) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"Datei fehlt", "Datei fehlt."},
        {"Fertig.", "Fertig."},
        {"Achtung!", "Achtung!"},
        {"(Klammer)", "(Klammer)"},
        {"eins,", "eins,"},
        {"strich -", "strich -"},
        {"Leerzeichen ", "Leerzeichen "},
        {"Nummer 7", "Nummer 7."},
        {"Pfad /", "Pfad /."},
        {"Frage?", "Frage?."},
        {"Doppelpunkt:", "Doppelpunkt:."},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WithFullStop(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
    EXPECT_EQ(WithFullStop(QString::fromUtf8("Größe")), QString::fromUtf8("Größe."));
}

namespace {

class TThrower : public QObject {
public:
    int handled = 0;
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) {
            ++handled;
            throw std::runtime_error("Fehler im Handler");
        }
        if (e->type() == QEvent::Type(QEvent::User + 1)) {
            ++handled;
            return true;
        }
        return QObject::event(e);
    }
};

} // namespace

TEST(ErrorDisplay, ExceptionInHandlerShowsStopBoxAndProgramGoesOn) {
    QList<TDialogRequest> seen;
    SetDialogAnswerer([&](const TDialogRequest& r) {
        seen << r;
        return TModalResult::OK;
    });
    TThrower t;
    QCoreApplication::postEvent(&t, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&t, new QEvent(QEvent::Type(QEvent::User + 1)));
    // A timer handler that throws, too.
    QTimer::singleShot(0, &t, [] { throw std::logic_error("Zeitgeber kaputt!"); });
    for (int i = 0; i < 20 && seen.size() < 2; ++i)
        QCoreApplication::processEvents();
    SetDialogAnswerer({});

    EXPECT_EQ(t.handled, 2); // the event after the failing one was still served
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0].caption, "Zettelwerk");
    EXPECT_EQ(seen[0].type, TMsgDlgType::Error);
    EXPECT_EQ(seen[0].buttons, int(mbOK));
    EXPECT_EQ(seen[0].text, "Fehler im Handler.");
    EXPECT_EQ(seen[1].text, "Zeitgeber kaputt!");
}

TEST(ErrorDisplay, AnUnknownExceptionNamesItsTypeInTheDetails) {
    QList<TDialogRequest> seen;
    SetDialogAnswerer([&](const TDialogRequest& r) {
        seen << r;
        return TModalResult::OK;
    });
    struct UnusualFailure {};
    QObject target;
    QTimer::singleShot(0, &target, [] { throw UnusualFailure{}; });
    for (int i = 0; i < 20 && seen.isEmpty(); ++i)
        QCoreApplication::processEvents();
    // The same from a guarded handler.
    RunGuarded([] { throw UnusualFailure{}; });
    SetDialogAnswerer({});

    ASSERT_EQ(seen.size(), 2);
    for (const TDialogRequest& r : seen) {
        EXPECT_EQ(r.text, "Unbekannter Fehler.");
        EXPECT_TRUE(r.details.contains("UnusualFailure")) << r.details.toStdString();
    }
}

TEST(ErrorDisplay, NestedCausesBecomeTheDetails) {
    std::vector<TDialogRequest> shown;
    SetDialogAnswerer([&](const TDialogRequest& r) {
        shown.push_back(r);
        return TModalResult::OK;
    });
    try {
        try {
            try {
                throw std::runtime_error("Error reading data from the connection");
            } catch (...) {
                std::throw_with_nested(std::runtime_error("Verbindung zum Datenbankserver unterbrochen"));
            }
        } catch (...) {
            std::throw_with_nested(std::runtime_error("Speichern nicht möglich"));
        }
    } catch (const std::exception& e) {
        EXPECT_EQ(NestedCauses(e),
                  "Verbindung zum Datenbankserver unterbrochen\nError reading data from the connection");
        ShowException(e);
    }
    ShowException(std::runtime_error("ohne Ursache"));
    SetDialogAnswerer({});
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, QString::fromUtf8("Speichern nicht möglich."));
    EXPECT_TRUE(shown[0].details.endsWith("Error reading data from the connection"));
    EXPECT_EQ(shown[1].details, "");
}
