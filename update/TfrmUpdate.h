#pragma once
#include <QWidget>

class TfrmUpdate : public QWidget {
    Q_OBJECT
public:
    explicit TfrmUpdate(QWidget* parent = nullptr);
};

extern TfrmUpdate* frmUpdate;
