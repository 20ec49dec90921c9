#pragma once
#include <QWidget>

class TfrmAnlegen : public QWidget {
    Q_OBJECT
public:
    explicit TfrmAnlegen(QWidget* parent = nullptr);
};

extern TfrmAnlegen* frmAnlegen;
