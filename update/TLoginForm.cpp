#include "update/TLoginForm.h"

#include "ui/TextFit.h"

#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

namespace {

std::function<std::optional<TLoginData>(TLoginForm&)>& Answerer() {
    static std::function<std::optional<TLoginData>(TLoginForm&)> answerer;
    return answerer;
}

QPixmap BannerPicture() {
    QPixmap pixmap(320, 60);
    QPainter p(&pixmap);
    QLinearGradient g(0, 0, 320, 0);
    g.setColorAt(0, QColor(0, 51, 153));
    g.setColorAt(1, QColor(166, 202, 240));
    p.fillRect(pixmap.rect(), g);
    p.setPen(Qt::white);
    QFont f("MS Sans Serif", 14, QFont::Bold);
    p.setFont(f);
    p.drawText(QRect(16, 0, 300, 60), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Zettelwerk Update"));
    return pixmap;
}

} // namespace

TLoginForm::TLoginForm(QWidget* parent) : QDialog(parent) {
    setFixedSize(328, 223);
    setFont(QFont("MS Sans Serif", 8));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    ImageBanner = new QLabel(this);
    ImageBanner->setObjectName("ImageBanner");
    ImageBanner->setGeometry(0, 0, 320, 60);
    ImageBanner->setPixmap(BannerPicture());

    LabelUserName = new QLabel("&User name: ", this);
    LabelUserName->setObjectName("LabelUserName");
    LabelUserName->move(16, 80);
    EditUserName = new QLineEdit(this);
    EditUserName->setObjectName("EditUserName");
    EditUserName->setGeometry(104, 80, 193, 21);
    LabelUserName->setBuddy(EditUserName);

    LabelPassword = new QLabel("&Password:", this);
    LabelPassword->setObjectName("LabelPassword");
    LabelPassword->move(16, 112);
    EditPassword = new QLineEdit(this);
    EditPassword->setObjectName("EditPassword");
    EditPassword->setGeometry(104, 112, 193, 21);
    EditPassword->setEchoMode(QLineEdit::Password);
    LabelPassword->setBuddy(EditPassword);

    BtnOK = new QPushButton("OK", this);
    BtnOK->setObjectName("BtnOK");
    BtnOK->setGeometry(144, 152, 75, 25);
    BtnOK->setDefault(true);
    connect(BtnOK, &QPushButton::clicked, this, &QDialog::accept);

    BtnCancel = new QPushButton("Cancel", this);
    BtnCancel->setObjectName("BtnCancel");
    BtnCancel->setGeometry(224, 152, 75, 25);
    connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);

    FitText(this);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

std::optional<TLoginData> ShowLoginDialog(const QString& caption) {
    TLoginForm form;
    form.setWindowTitle(caption);
    if (Answerer())
        return Answerer()(form);
    if (form.exec() != QDialog::Accepted)
        return std::nullopt;
    return TLoginData{form.EditUserName->text(), form.EditPassword->text()};
}

void SetLoginDialogAnswerer(std::function<std::optional<TLoginData>(TLoginForm& form)> answerer) {
    Answerer() = std::move(answerer);
}
