#pragma once
// The first-start question: shall the program start with every log-on?
#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;
class TDataModuleNotizen;
class TFirstStartRecord;
class TfrmVerwaltung;

class TfrmAutostartDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 1005;

    // The answers run the administration window's autostart operations and mark the first
    // start as done in the settings. The window is asked for only then (it may be made then).
    // With a record of this machine (a database on a server), the question also comes while
    // the record lacks the answer, and an answer is kept there too.
    TfrmAutostartDialog(TDataModuleNotizen& dataModule, std::function<TfrmVerwaltung&()> verwaltung,
                        const TFirstStartRecord* here = nullptr, QWidget* parent = nullptr);
    TfrmAutostartDialog(TDataModuleNotizen& dataModule, TfrmVerwaltung& verwaltung,
                        const TFirstStartRecord* here = nullptr, QWidget* parent = nullptr);
    ~TfrmAutostartDialog() override;

    // Handlers, public for the program and the tests; errors leave them as exceptions.
    void BtnJaClick();
    void BtnNeinClick();
    void BtnHilfeClick();

    QLabel* RichLabel1 = nullptr;
    QPushButton* BtnJa = nullptr;
    QPushButton* BtnNein = nullptr;
    QPushButton* BtnHilfe = nullptr;

    // Counts the settings rows; with none (or no answer in the record), shows the question
    // modally. Errors go to the application's error display; the question is then not shown.
    void CheckFirstStart();

private:
    // Marks the first start as done, closes the question and keeps the answer in the record.
    void Answered();

    TDataModuleNotizen& dm_;
    std::function<TfrmVerwaltung&()> verwaltung_;
    const TFirstStartRecord* here_;
};

// The rich text of the question.
QString AutostartQuestionText();
