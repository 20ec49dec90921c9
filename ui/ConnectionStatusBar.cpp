#include "ui/ConnectionStatusBar.h"

#include "ui/ImageListMain.h"

#include <QLabel>

TConnectionStatusBar::TConnectionStatusBar(QWidget* parent, bool thirdPanel) : QStatusBar(parent) {
    setSizeGripEnabled(true);
    image_ = new QLabel(this);
    image_->setObjectName(QStringLiteral("Panel0"));
    image_->setFixedWidth(30);
    image_->setAlignment(Qt::AlignCenter);
    addWidget(image_);
    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("Panel1"));
    text_->setFixedWidth(400);
    text_->setTextFormat(Qt::PlainText);
    addWidget(text_);
    if (thirdPanel) {
        auto* third = new QLabel(this);
        third->setObjectName(QStringLiteral("Panel2"));
        third->setFixedWidth(50);
        addWidget(third);
    }
}

void TConnectionStatusBar::SetImage(int imageIndex, const QString& hint) {
    imageIndex_ = imageIndex;
    image_->setPixmap(imageIndex >= 0 && imageIndex < ImageListMain::Count ? ImageListMain::Pixmap(imageIndex)
                                                                           : QPixmap());
    image_->setToolTip(hint);
}

QString TConnectionStatusBar::ImageHint() const {
    return image_->toolTip();
}

void TConnectionStatusBar::SetText(const QString& text) {
    text_->setText(text);
}

QString TConnectionStatusBar::Text() const {
    return text_->text();
}

void TConnectionStatusBar::MarkConnected(const QString& databaseFileName) {
    SetImage(imgConnected, QStringLiteral("verbunden mit ") + databaseFileName);
}
