#pragma once
// Help integration: start checks, the application's help handler, F1, and the trace file.
//
// Help contexts: every window that has a help topic carries its context number as the dynamic
// property "helpContext" (an int), set by the window's owner when the window is made, e.g.
//     setProperty("helpContext", 1003);
// Controls carry none: F1 climbs from the focused widget through its parents to the nearest
// widget or window with a context and asks the help for that number.
#include "platform/VersionInfo.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QWidget;
class THelpViewer;

// Trace set-up, the start checks and the hook, with their messages (which do not stop start-up);
// also routes the "&Help" buttons of message dialogs to the help.
void HelpStartupChecks(QWidget* mainWindow);
// Opens the help at a context number, through the hook's help handler.
void ShowHelpContext(int helpContext);
// Closes every help window the program opened (only when the viewer is loaded).
void HelpCloseAll();

// Help commands the help handler receives.
enum THelpCommand : int {
    HELP_CONTEXT = 1,
    HELP_QUIT = 2,
    HELP_INDEX = 3,
    HELP_HELPONHELP = 4,
    HELP_SETINDEX = 5,
    HELP_CONTEXTPOPUP = 8,
    HELP_FORCEFILE = 9,
    HELP_CONTEXTMENU = 10,
    HELP_FINDER = 11,
    HELP_WM_HELP = 12,
    HELP_SETPOPUP_POS = 13,
    HELP_KEY = 257,
    HELP_COMMAND = 258,
    HELP_PARTIALKEY = 261,
    HELP_MULTIKEY = 513,
    HELP_SETWINPOS = 515,
};

// The way of showing help; only the viewer's programming interface exists.
enum THelpShowWay : int { hsHtmlHelpApi = 0 };

inline constexpr int kHelpShown = 0;
inline constexpr int kHelpNotInstalled = 1;

QString HelpCommandName(int command);                                                // "HELP_CONTEXT", "??"
QString PrepareHelpTarget(const QString& helpFile, const QString& windowDefinition); // "%20", blanks
bool HelpViewerVersionSufficient(const TFixedVersion& version);                      // 4.73 or later
QString HelpErrorText(int result);        // message of a show result
int HelpContextOf(const QWidget* widget); // nearest "helpContext" from the widget upwards; 0: none

// The trace file "HelpDebug.txt": decided and emptied at start, written in trace mode.
class THelpTrace {
public:
    // exeDirectory with or without trailing separator; arguments without the program name.
    THelpTrace(const QString& exeDirectory, const QStringList& arguments);

    bool Enabled() const { return enabled_; }
    QString FileName() const { return fileName_; }

    void WriteHeader(const QStringList& lines); // between two rules of 80 "="
    void Line(const QString& text);             // time of day, three blanks, text

private:
    void Append(const QString& text);
    bool enabled_ = false;
    QString fileName_;
};

// The help hook: takes the application's help requests and F1 and passes them to the viewer.
class THelpHook : public QObject {
    Q_OBJECT
public:
    THelpHook(const QString& helpFile, const QString& windowDefinition, int showWay, THelpViewer& viewer,
              THelpTrace* trace, QObject* parent = nullptr);
    ~THelpHook() override;

    // The application's help handler: every command counts as handled.
    bool HelpHook(int command, qintptr data);
    // Shows a context; kHelpShown or kHelpNotInstalled.
    int ShowHelpContext(int context);
    void ShowHelpError(int result);
    void CloseAll();

    QString HelpFile() const { return helpFile_; }
    bool Installed() const { return installed_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int ShowContext(int context);
    void Trace(const QString& text);

    QString helpFile_;
    QString windowDefinition_;
    int showWay_;
    THelpViewer& viewer_;
    THelpTrace* trace_;
    bool loaded_;
    bool installed_;
};

// The start checks with everything they use given; HelpStartupChecks() runs them for the program.
struct THelpSetup {
    QString exeDirectory; // with trailing separator
    QStringList arguments;
    THelpViewer* viewer = nullptr;
};
THelpHook* StartHelp(const THelpSetup& setup);
THelpHook* CurrentHelpHook();
void StopHelp(); // removes the hook and forgets the trace (tests)
