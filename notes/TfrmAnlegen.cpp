#include "notes/TfrmAnlegen.h"

TfrmAnlegen* frmAnlegen = nullptr;

TfrmAnlegen::TfrmAnlegen(QWidget* parent) : QWidget(parent) { frmAnlegen = this; }
