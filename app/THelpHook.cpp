#include "app/THelpHook.h"

void HelpStartupChecks(QWidget*) {}
void ShowHelpContext(int) {}
void HelpCloseAll() {}
