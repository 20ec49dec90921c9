#include "app/ProgramWindows.h"

#include "admin/TfrmVerwaltung.h"
#include "app/TfrmAutostartDialog.h"
#include "app/TfrmMain.h"
#include "info/TfrmAboutBox.h"
#include "notes/TfrmAnlegen.h"
#include "notes/TfrmSuchen.h"
#include "update/TfrmUpdate.h"

TProgramWindows::TProgramWindows() = default;

TProgramWindows::~TProgramWindows() {
    DestroyAll();
}

void TProgramWindows::DestroyAll() {
    autostart.reset();
    update.reset();
    verwaltung.reset();
    anlegen.reset();
    suchen.reset();
    about.reset();
    main.reset();
}
