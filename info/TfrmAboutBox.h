#pragma once
// The about window: program, versions, operating system, database server and database.
#include <QDialog>
#include <memory>

class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class TDataModuleNotizen;
class TExeInfo;
class TWindowsVersionInfo;

class TfrmAboutBox : public QDialog {
    Q_OBJECT
public:
    // versionFile empty: the running executable's version resource. The database lines come
    // from dataModule; without one they stay empty.
    explicit TfrmAboutBox(TDataModuleNotizen* dataModule, QWidget* parent = nullptr,
                          const QString& versionFile = {});
    ~TfrmAboutBox() override;

    static constexpr int kHelpContext = 1004;
    static const QString kMailAddress;
    static const QString kFirebirdAddress;

    void FormShow();
    void Image1Click();
    void ImageFirebirdClick();
    void OKButtonClick();

    // The client library file whose version stands in the database line.
    static QString ClientLibraryFile();
    static QString ClientLibraryVersionText();

    TExeInfo* ExeInfo = nullptr;
    std::unique_ptr<TWindowsVersionInfo> WindowsVersionInfo;

    QFrame* Panel = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* LabelVersion = nullptr;
    QLabel* LabelCopyright = nullptr;
    QGroupBox* GroupBoxBetriebssystem = nullptr;
    QLabel* LabelOS = nullptr;
    QGroupBox* GroupBoxDatenbank = nullptr;
    QLabel* LabelDBVersion = nullptr;
    QLabel* LabelODS = nullptr;
    QLabel* LabelDBGroesse = nullptr;
    QGroupBox* GroupBoxMail = nullptr;
    QLabel* LabelMail = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* ImageFirebird = nullptr;
    QPushButton* OKButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TDataModuleNotizen* dm_;
    QObject* pressed_ = nullptr;
};
