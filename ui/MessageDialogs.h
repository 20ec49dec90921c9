#pragma once
// The program's message dialogs: five kinds with fixed captions, icons and button rules.
#include <QString>
#include <QStringList>
#include <functional>

enum class TMsgDlgType { Warning, Error, Information, Confirmation, Custom };

// Buttons as a set of flags.
enum TMsgDlgBtn : int { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8, mbHelp = 16 };

// Help: only from a test answerer, meaning "&Help was pressed"; the dialog then asks again.
enum class TModalResult { None, Yes, No, OK, Cancel, Help };

// What a dialog asks: used by the test answerer and by the real dialog.
struct TDialogRequest {
    QString caption;
    QString text;
    TMsgDlgType type = TMsgDlgType::Custom;
    int buttons = mbOK;
    int helpContext = 0;
    // Why it happened, for a bug report (an engine's status text): shown on demand below the
    // message, and written to standard error when the dialog is asked.
    QString details;
};

// Rules that do not need a window.
QString DialogCaption(TMsgDlgType type);  // "Confirm", "Information", ..., application title for Custom
TModalResult DefaultResult(int buttons);  // "OK" when present, else "&Yes"
TModalResult EscapeResult(int buttons);   // "Cancel", else "&No", else "OK"
TModalResult CloseBoxResult(int buttons); // the result of "Cancel"

// Modal, centred on the screen. "&Help" opens helpContext and leaves the dialog open.
TModalResult MessageDlg(const QString& msg, TMsgDlgType type, int buttons, int helpContext = 0,
                        const QString& details = {});

// Shows a request as it is; an empty caption takes DialogCaption(type). The icon follows the type.
TModalResult ShowDialogRequest(const TDialogRequest& request);

// Plain notice: application title as caption, no icon, one OK button.
void ShowMessage(const QString& msg);

// A system message box with its own caption, one OK button and no icon.
void SystemMessageBox(const QString& text, const QString& caption, const QString& details = {});

// The line written to standard error for a request with details: the message's lines joined,
// then each line of the details indented.
QString DetailsReport(const TDialogRequest& request);

// Tests install an answerer that replies to every dialog instead of showing it.
// Answering Help presses "&Help": RequestHelp(helpContext) runs and the answerer is asked again.
using TDialogAnswerer = std::function<TModalResult(const TDialogRequest&)>;
void SetDialogAnswerer(TDialogAnswerer answerer); // empty function: show real dialogs

// Where "&Help" buttons send their context number; installed by the help system.
using THelpRequest = std::function<void(int helpContext)>;
void SetHelpRequestHandler(THelpRequest handler);
void RequestHelp(int helpContext);
