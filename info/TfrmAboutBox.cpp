#include "info/TfrmAboutBox.h"

#include "info/AboutPictures.h"
#include "info/AboutTexts.h"
#include "info/FileVersionText.h"
#include "info/TExeInfo.h"
#include "info/TWindowsVersionInfo.h"
#include "platform/OsFacts.h"
#include "platform/ShellOpen.h"
#include "store/TDataModuleNotizen.h"
#include "store/fb/FbApi.h"
#include "ui/ErrorDisplay.h"
#include "ui/ImageListMain.h"
#include "ui/TextFit.h"
#include "ui/WindowLook.h"

#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

const QString TfrmAboutBox::kMailAddress = QStringLiteral("zettelwerk@example.com");
const QString TfrmAboutBox::kFirebirdAddress = QStringLiteral("https://www.firebirdsql.org/");

namespace {

QLabel* MakeLabel(QWidget* parent, int left, int top, const QString& name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->move(left, top);
    return label;
}

void MakeLink(QLabel* label, const QString& hint) {
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, QColor(0, 0, 128)); // navy
    label->setPalette(pal);
    QFont f = label->font();
    f.setUnderline(true);
    label->setFont(f);
    label->setCursor(Qt::PointingHandCursor);
    label->setToolTip(hint);
}

QLabel* MakePicture(QWidget* parent, const QRect& box, const QPixmap& picture, const QString& name) {
    auto* image = new QLabel(parent);
    image->setObjectName(name);
    image->setGeometry(box);
    image->setAlignment(Qt::AlignCenter);
    image->setPixmap(picture.scaled(box.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    return image;
}

void SetText(QLabel* label, const QString& text) {
    label->setText(text);
    label->adjustSize();
}

} // namespace

TfrmAboutBox::TfrmAboutBox(TDataModuleNotizen* dataModule, QWidget* parent, const QString& versionFile)
    : QDialog(parent), dm_(dataModule) {
    setObjectName(QStringLiteral("frmAboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(440, 407);
    setFont(ClassicFont());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kSkyBlue);
    setPalette(pal);
    setAutoFillBackground(true);
    setProperty("helpContext", kHelpContext);

    ExeInfo = new TExeInfo(this, versionFile);
    WindowsVersionInfo = std::make_unique<TWindowsVersionInfo>(OsFacts());

    // Raised inner and lowered outer bevel.
    Panel = new QFrame(this);
    Panel->setObjectName(QStringLiteral("Panel1"));
    Panel->setGeometry(8, 8, 425, 361);
    Panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel->setLineWidth(1);
    auto* inner = new QFrame(Panel);
    inner->setGeometry(1, 1, 423, 359);
    inner->setFrameStyle(QFrame::Panel | QFrame::Raised);
    inner->setLineWidth(1);
    inner->setAttribute(Qt::WA_TransparentForMouseEvents);

    ProgramIcon = MakePicture(Panel, QRect(8, 8, 32, 32), ImageListMain::TrayIcon().pixmap(32, 32),
                              QStringLiteral("ProgramIcon"));
    ProductName = MakeLabel(Panel, 48, 8, QStringLiteral("ProductName"));
    LabelVersion = MakeLabel(Panel, 48, 32, QStringLiteral("LabelVersion"));
    LabelCopyright = MakeLabel(Panel, 48, 48, QStringLiteral("LabelCopyright"));

    GroupBoxBetriebssystem = new QGroupBox(QStringLiteral("Betriebssystem"), Panel);
    GroupBoxBetriebssystem->setObjectName(QStringLiteral("GroupBoxBetriebssystem"));
    GroupBoxBetriebssystem->setGeometry(8, 72, 409, 49);
    LabelOS = MakeLabel(GroupBoxBetriebssystem, 16, 20, QStringLiteral("LabelOS"));

    GroupBoxDatenbank = new QGroupBox(QStringLiteral("Datenbank"), Panel);
    GroupBoxDatenbank->setObjectName(QStringLiteral("GroupBoxDatenbank"));
    GroupBoxDatenbank->setGeometry(8, 128, 409, 105);
    LabelDBVersion = MakeLabel(GroupBoxDatenbank, 16, 28, QStringLiteral("LabelDBVersion"));
    MakeLink(LabelDBVersion, QStringLiteral("Firebird im Internet"));
    LabelODS = MakeLabel(GroupBoxDatenbank, 16, 48, QStringLiteral("LabelODS"));
    LabelODS->setToolTip(QString::fromUtf8(
        "On-Disk-Structure (ODS) definiert, wie die Datenspeicherung in der DB intern organisiert ist."));
    LabelDBGroesse = MakeLabel(GroupBoxDatenbank, 16, 64, QStringLiteral("LabelDBGroesse"));

    GroupBoxMail = new QGroupBox(QString::fromUtf8("Bugs und Verbesserungsvorschläge:"), Panel);
    GroupBoxMail->setObjectName(QStringLiteral("GroupBox1"));
    GroupBoxMail->setGeometry(20, 264, 285, 41);
    LabelMail = MakeLabel(GroupBoxMail, 8, 20, QStringLiteral("LabelMail"));
    SetText(LabelMail, kMailAddress);
    MakeLink(LabelMail, QStringLiteral("email schreiben"));

    Image1 = MakePicture(Panel, QRect(328, 251, 92, 105), MakerPhotograph(), QStringLiteral("Image1"));
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->setToolTip(QStringLiteral("email schreiben"));
    Image2 = MakePicture(Panel, QRect(20, 316, 114, 41), ProgramLogo(), QStringLiteral("Image2"));
    ImageFirebird =
        MakePicture(Panel, QRect(184, 316, 120, 40), FirebirdLogo(), QStringLiteral("ImageFirebird"));
    ImageFirebird->setCursor(Qt::PointingHandCursor);
    ImageFirebird->setToolTip(QStringLiteral("Firebird im Internet"));

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(175, 380, 75, 25);
    OKButton->setDefault(true);
    OKButton->setAutoDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &TfrmAboutBox::OKButtonClick);

    for (QObject* target : {static_cast<QObject*>(Image1), static_cast<QObject*>(LabelMail),
                            static_cast<QObject*>(ImageFirebird), static_cast<QObject*>(LabelDBVersion)})
        target->installEventFilter(this);
}

TfrmAboutBox::~TfrmAboutBox() = default;

QString TfrmAboutBox::ClientLibraryFile() {
    try {
        return QString::fromStdString(fb::Client().libraryPath);
    } catch (const std::exception&) {
        return QString::fromLatin1(fb::ClientLibraryName());
    }
}

QString TfrmAboutBox::ClientLibraryVersionText() {
    QString text = GetFileVersionText(ClientLibraryFile());
    if (text == QLatin1String(kNoVersionInfo)) {
        const QString own = FourPartVersion(TDataModuleNotizen::ClientLibraryVersion());
        if (!own.isEmpty())
            text = own;
    }
    return text;
}

void TfrmAboutBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    RunGuarded([this] { FormShow(); });
    FitText(this); // the texts are those of this showing
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TfrmAboutBox::FormShow() {
    setWindowTitle(QGuiApplication::applicationDisplayName() + u' ' + ExeInfo->FileVersion());
    SetText(ProductName,
            ExeInfo->ProductName() + QStringLiteral(" (") + ExeInfo->FileDescription() + QStringLiteral(")"));
    SetText(LabelVersion, QStringLiteral("Produktversion: ") + ExeInfo->ProductVersion() +
                              QStringLiteral(" (") + ExeInfo->FileVersion() + QStringLiteral(")"));
    SetText(LabelCopyright, ExeInfo->LegalCopyright());
    SetText(LabelOS, WindowsVersionInfo->WindowsVersionsString() + u' ' + WindowsVersionInfo->ServicePack());

    if (!dm_)
        return;
    try {
        const TDatabaseInfo info = dm_->DatabaseInfo();
        SetText(LabelDBVersion, DbVersionText(info.serverVersion, ClientLibraryVersionText()));
        SetText(LabelODS, OdsText(info.odsVersion, info.odsMinorVersion));
        SetText(LabelDBGroesse, DbSizeText(info.allocation, info.pageSize));
    } catch (const std::exception& e) {
        ShowException(e);
    }
}

void TfrmAboutBox::Image1Click() {
    ShellOpen().Open(MailToTarget(kMailAddress));
}

void TfrmAboutBox::ImageFirebirdClick() {
    ShellOpen().Open(kFirebirdAddress);
}

void TfrmAboutBox::OKButtonClick() {
    hide();
}

bool TfrmAboutBox::eventFilter(QObject* watched, QEvent* event) {
    const bool mail = watched == Image1 || watched == LabelMail;
    const bool web = watched == ImageFirebird || watched == LabelDBVersion;
    if (!mail && !web)
        return QDialog::eventFilter(watched, event);
    bool run = false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            pressed_ = watched;
        break;
    case QEvent::MouseButtonRelease: // a click: press and release on the same control
        run = pressed_ == watched && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
        pressed_ = nullptr;
        break;
    case QEvent::MouseButtonDblClick: // the labels also answer a double click
        run = watched == LabelMail || watched == LabelDBVersion;
        pressed_ = nullptr;
        break;
    default:
        break;
    }
    if (run) {
        if (mail)
            Image1Click();
        else
            ImageFirebirdClick();
    }
    return QDialog::eventFilter(watched, event);
}
