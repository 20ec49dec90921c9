#include "app/TfrmAutostartDialog.h"

TfrmAutostartDialog* frmAutostartDialog = nullptr;

TfrmAutostartDialog::TfrmAutostartDialog(QWidget* parent) : QWidget(parent) { frmAutostartDialog = this; }

void CheckFirstStart() {}
