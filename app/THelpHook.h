#pragma once
// Help integration: start checks, F1 and context requests, trace file.
class QWidget;

// Checks for the help file and the viewer and installs the hook (messages do not stop start-up).
void HelpStartupChecks(QWidget* mainWindow);
// Opens the help at a context number.
void ShowHelpContext(int helpContext);
// Closes every help window the program opened.
void HelpCloseAll();
