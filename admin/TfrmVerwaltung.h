#pragma once
// The administration window: database backup and restore, update check, autostart choice.
#include <QMainWindow>
#include <exception>
#include <functional>
#include <memory>

class QAction;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QToolBar;
class TConnectionStatusBar;
class TDataModuleNotizen;

namespace fb {
class Service;
}

class TfrmVerwaltung : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 1005;
    static inline const QString kAutostartName = QStringLiteral("Zettelwerk");

    // Creates the backup and restore services, which load the Firebird client library:
    // fb::LibraryError leaves the constructor when it cannot be loaded. showUpdateWindow
    // shows the update window modally (the Update button).
    TfrmVerwaltung(TDataModuleNotizen& dataModule, std::function<void()> showUpdateWindow,
                   QWidget* parent = nullptr);
    ~TfrmVerwaltung() override;

    TConnectionStatusBar* StatusBar() const { return StatusBarVerwaltung; }

    // Handlers, public for the program and the tests; errors leave them as exceptions.
    void FormShow();
    void BtnBackupClick();
    void BtnRestoreClick();
    void BtnUpdateClick();
    void BackupDatabase();
    void RestoreDatabase();
    void RefreshAutostartState();
    // The newest backup's full path (beside the database, or in the user's data directory).
    QString BackupFile() const;

public slots:
    // Enter the program in the autostart list / take it out; both end with a refresh.
    void RadioButtonAutostartClick();
    void RadioButtonKeinAutostartClick();

public:
    QToolBar* ToolBarVerwaltung = nullptr;
    QAction* ToolBtnBackup = nullptr;
    QAction* ToolBtnRestore = nullptr;
    QAction* ToolBtnUpdate = nullptr;
    QPushButton* BtnBackup = nullptr;
    QPushButton* BtnRestore = nullptr;
    QPushButton* BtnUpdate = nullptr;
    QLabel* LabelBackup = nullptr;
    QLabel* LabelRestore = nullptr;
    QLabel* LabelUpdate = nullptr;
    QGroupBox* GroupBoxAutostart = nullptr;
    QRadioButton* RadioButtonAutostart = nullptr;
    QRadioButton* RadioButtonKeinAutostart = nullptr;
    TConnectionStatusBar* StatusBarVerwaltung = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void RunServiceJob(const QString& kind, const QString& doneMessage, const std::function<void()>& job);
    // A choice button became selected: its operation runs; inside a refresh its error is
    // kept for the refresh to raise, otherwise it goes to the error display.
    void ChoiceSelected(void (TfrmVerwaltung::*operation)());

    TDataModuleNotizen& dm_;
    std::function<void()> showUpdateWindow_;
    std::unique_ptr<fb::Service> backupService_;
    std::unique_ptr<fb::Service> restoreService_;
    int refreshDepth_ = 0;
    std::exception_ptr choiceError_;
};
