#pragma once
#include <QWidget>

class TfrmVerwaltung : public QWidget {
    Q_OBJECT
public:
    explicit TfrmVerwaltung(QWidget* parent = nullptr);
};

extern TfrmVerwaltung* frmVerwaltung;
