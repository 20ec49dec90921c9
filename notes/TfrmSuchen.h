#pragma once
#include <QWidget>

class TfrmSuchen : public QWidget {
    Q_OBJECT
public:
    explicit TfrmSuchen(QWidget* parent = nullptr);
};

extern TfrmSuchen* frmSuchen;
