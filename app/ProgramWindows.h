#pragma once
// The program's windows, owned by the program entry for the life of the process. The main
// window reaches the others through it; a window that is gone is an empty pointer here.
#include <memory>

class TfrmAboutBox;
class TfrmAnlegen;
class TfrmAutostartDialog;
class TfrmMain;
class TfrmSuchen;
class TfrmUpdate;
class TfrmVerwaltung;

struct TProgramWindows {
    TProgramWindows();
    ~TProgramWindows(); // the reverse order of creation
    TProgramWindows(const TProgramWindows&) = delete;
    TProgramWindows& operator=(const TProgramWindows&) = delete;

    // In the order of creation.
    std::unique_ptr<TfrmMain> main;
    std::unique_ptr<TfrmAboutBox> about;
    std::unique_ptr<TfrmSuchen> suchen;
    std::unique_ptr<TfrmAnlegen> anlegen;
    std::unique_ptr<TfrmVerwaltung> verwaltung;
    std::unique_ptr<TfrmUpdate> update;
    std::unique_ptr<TfrmAutostartDialog> autostart;

    void DestroyAll();
};
