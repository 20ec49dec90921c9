#pragma once
// The update window: one start button, the date of the last attempt, the automatic-update
// preference, progress, status, and the animated download cursor.
#include "update/UpdateAvailability.h"

#include <QByteArray>
#include <QDialog>
#include <QLabel>

class QCheckBox;
class QProgressBar;
class QPushButton;
class QStatusBar;
class TUpdateEngine;

// Animated-icon control: holds the animation data; the window never shows it.
class TAniIcon : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    QByteArray AnimationData;
    bool Active() const { return active_; }
    void SetActive(bool on) { active_ = on; }

private:
    bool active_ = false;
};

class TDataModuleNotizen;

class TfrmUpdate : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 1006;
    static constexpr int crDownload = 4711; // pointer number of the animated download cursor
    inline static const QString kCaptionReady = QStringLiteral("auf Update prüfen");
    inline static const QString kCaptionChecking = QStringLiteral("Updateprüfung gestartet...");

    // The settings row (last check, automatic-update flag) is read and written through dataModule.
    explicit TfrmUpdate(TDataModuleNotizen& dataModule, QWidget* parent = nullptr);

    QPushButton* BitBtnUpdate;
    QLabel* LabelUpdateVersuch;
    QCheckBox* CBAutomaticUpdateEnabled;
    QProgressBar* ProgressBarUpdate;
    QStatusBar* StatusBar1;
    TAniIcon* AniIcon;
    TUpdateEngine* UpdateEngine;
    // The program's directory: a self-updating program's update runs there (the control file's
    // relative names and {APP} mean it), and its key file lies there. Default: the executable's
    // directory. A directory the user cannot write, or one whose program the Debian package
    // installed (PackageFileList names it), is not updated: the run only checks, in the
    // directory of the user's database.
    QString ProgramDirectory;
    QString PackageFileList = kPackageFileList;

    // Handlers.
    void FormShow();
    void BitBtnUpdateClick();
    void UpdateEngineFileProgress(TUpdateEngine* sender, const QString& fileName, int pos, int size);
    void UpdateEngineStatus(TUpdateEngine* sender, const QString& statusStr, int statusCode, int errCode);
    void UpdateEngineBeforeFileDownload(TUpdateEngine* sender, int fileIdx, const QString& fileDescription,
                                        QString& url);
    void UpdateEngineFileDownloaded(TUpdateEngine* sender, const QString& fileName);
    void FormClose();

    // Status bar text for one report: text, ", Status: ", code, " Error: ", code.
    static QString StatusText(const QString& statusStr, int statusCode, int errCode);

    // The update server's control-file address.
    static QString DefaultUpdateUrl();

    // What the window says when a run refused an update (status um::RefusedStatus): the box
    // text and the short status-bar text for the error code; empty for an unknown code.
    static QString RefusalText(int errCode);
    static QString RefusalStatus(int errCode);

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // After RunUpdate has returned: a run the engine ended without a box of its own is told to
    // the user, and the window is ready for the next check.
    void RunEnded();
    void SetReady();

    TDataModuleNotizen& dm_;
    TInstallKind installKind_ = TInstallKind::SelfUpdating;
    bool refusalShown_ = false;
    int refusalCode_ = 0;
};
