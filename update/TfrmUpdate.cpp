#include "update/TfrmUpdate.h"

TfrmUpdate* frmUpdate = nullptr;

TfrmUpdate::TfrmUpdate(QWidget* parent) : QWidget(parent) { frmUpdate = this; }
