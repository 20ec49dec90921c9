#include "info/TfrmAboutBox.h"

TfrmAboutBox* frmAboutBox = nullptr;

TfrmAboutBox::TfrmAboutBox(QWidget* parent) : QWidget(parent) { frmAboutBox = this; }
