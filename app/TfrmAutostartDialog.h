#pragma once
#include <QWidget>

class TfrmAutostartDialog : public QWidget {
    Q_OBJECT
public:
    explicit TfrmAutostartDialog(QWidget* parent = nullptr);
};

extern TfrmAutostartDialog* frmAutostartDialog;

// Counts the settings rows; with none, shows the question modally.
void CheckFirstStart();
