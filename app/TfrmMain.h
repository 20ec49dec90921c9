#pragma once
// The hidden main window: host of the tray icon, the tray menu, the version texts and the
// first-start timer. Closing it ends the program.
#include <QStringList>
#include <QWidget>
#include <functional>
#include <vector>

class QAction;
class QMenu;
class QTimer;
class TExeInfo;
class TFlatMenuStyle;
class TTrayIcon;
struct TProgramWindows;

class TfrmMain : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 1001;
    static constexpr int kAutostartDelayMs = 1000;

    // The tray menu shows the other windows of windows, which the program entry fills after
    // this one; a command whose window does not exist (yet, or any more) does nothing.
    explicit TfrmMain(TProgramWindows& windows, QWidget* parent = nullptr);
    ~TfrmMain() override;

    TExeInfo* ExeInfo;
    QMenu* PopupMenuTray;
    QAction* NotizAnlegen;
    QAction* Notizsuchen;
    QAction* Verwaltung;
    QAction* N2;
    QAction* HilfezuZettelwerk1;
    QAction* Info;
    QAction* N1;
    QAction* Beenden;
    TTrayIcon* TrayIcon;
    QTimer* TimerAutostart;

    void TrayIconStartup(QObject* sender, bool& showMainForm);
    void FormCreate();
    void FormDestroy();

    // Start-up is over (every window and the data module exist): the first-start check may run,
    // and the windows asked for meanwhile open.
    void StartupComplete();

    // Opens windows as the tray menu does, named by the words of the command line's requests
    // ("neue-notiz", "suchen", "suchen=" with a term to search for in the list); unknown words
    // are ignored. Before the start-up is over they wait.
    void OpenWindows(const QStringList& words);
    bool IsStartupComplete() const { return startupComplete_; }

public slots:
    void NotizAnlegenClick();
    void NotizsuchenClick();
    void VerwaltungClick();
    void HilfezuZettelwerk1Click();
    void InfoClick();
    void BeendenClick();
    void TimerAutostartTimer();

signals:
    void Closed(); // the main window was closed: the program ends

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Shows a program window, or, while the first-start question waits for its answer, brings
    // the question to the front and opens the window once the question is closed.
    void Present(const std::function<QWidget*()>& window);

    TProgramWindows& windows_;
    TFlatMenuStyle* menuStyle_;
    bool startupComplete_ = false;
    bool menuFontSet_ = false;
    QStringList pendingWindows_;
    std::vector<std::function<QWidget*()>> afterQuestion_; // asked for while the question waited
};
