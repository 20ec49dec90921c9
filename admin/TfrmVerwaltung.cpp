#include "admin/TfrmVerwaltung.h"

TfrmVerwaltung* frmVerwaltung = nullptr;

TfrmVerwaltung::TfrmVerwaltung(QWidget* parent) : QWidget(parent) { frmVerwaltung = this; }
