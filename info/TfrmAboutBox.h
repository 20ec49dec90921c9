#pragma once
#include <QWidget>

class TfrmAboutBox : public QWidget {
    Q_OBJECT
public:
    explicit TfrmAboutBox(QWidget* parent = nullptr);
};

extern TfrmAboutBox* frmAboutBox;
