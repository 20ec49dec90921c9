#pragma once
// Status bar of the note and administration windows: panel 0 an image panel (30 px),
// panel 1 a text panel (400 px), optionally panel 2 an empty text panel (50 px).
#include <QStatusBar>

class QLabel;

class TConnectionStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit TConnectionStatusBar(QWidget* parent, bool thirdPanel = false);

    void SetImage(int imageIndex, const QString& hint); // panel 0
    int ImageIndex() const { return imageIndex_; }
    QString ImageHint() const;
    void SetText(const QString& text); // panel 1
    QString Text() const;

    // The connection broadcast: image 6 and "verbunden mit " + file name.
    void MarkConnected(const QString& databaseFileName);

private:
    QLabel* image_;
    QLabel* text_;
    int imageIndex_ = -1;
};
