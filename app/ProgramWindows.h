#pragma once
// The program's windows, owned by the program entry for the life of the process. The main
// window reaches the others through it; a window that is gone is an empty pointer here.
//
// The main window is made at start. The others are made when first needed (shown, asked for
// by a command, the first-start question when it is to be asked) by the maker the program
// entry gives, and then live to the end: a program idle in the tray carries none of their
// widgets, fonts and pictures. What a user can
// see of the order of creation stays: the tray icon first, a failed connection reported before
// any window, a window made after the connection shows it in its status bar.
#include <functional>
#include <memory>

class TfrmAboutBox;
class TfrmAnlegen;
class TfrmAutostartDialog;
class TfrmMain;
class TfrmSuchen;
class TfrmUpdate;
class TfrmVerwaltung;

// One window: made by `make` on the first Get(), kept until reset().
template <class T> class TLazyWindow {
public:
    std::function<std::unique_ptr<T>()> make; // empty: never made here

    // The window, made now when it does not exist yet (nullptr without a maker).
    T* Get() {
        if (!window_ && make)
            window_ = make();
        return window_.get();
    }
    T* Existing() const { return window_.get(); } // nullptr when not made (yet, or any more)

    TLazyWindow& operator=(std::unique_ptr<T> window) {
        window_ = std::move(window);
        return *this;
    }
    T* operator->() const { return window_.get(); }
    explicit operator bool() const { return window_ != nullptr; }
    void reset() { window_.reset(); }

private:
    std::unique_ptr<T> window_;
};

struct TProgramWindows {
    TProgramWindows();
    ~TProgramWindows(); // the reverse order of creation
    TProgramWindows(const TProgramWindows&) = delete;
    TProgramWindows& operator=(const TProgramWindows&) = delete;

    // In the order of creation.
    std::unique_ptr<TfrmMain> main;
    TLazyWindow<TfrmAboutBox> about;
    TLazyWindow<TfrmSuchen> suchen;
    TLazyWindow<TfrmAnlegen> anlegen;
    TLazyWindow<TfrmVerwaltung> verwaltung;
    TLazyWindow<TfrmUpdate> update;
    // Made only when the first-start check is to ask: when firstStartAnswered (if given)
    // does not say the question was answered before.
    TLazyWindow<TfrmAutostartDialog> autostart;
    std::function<bool()> firstStartAnswered;

    void DestroyAll();
};
