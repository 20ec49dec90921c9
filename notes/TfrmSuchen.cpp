#include "notes/TfrmSuchen.h"

TfrmSuchen* frmSuchen = nullptr;

TfrmSuchen::TfrmSuchen(QWidget* parent) : QWidget(parent) { frmSuchen = this; }
