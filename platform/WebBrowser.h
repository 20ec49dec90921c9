#pragma once
// Opening a page in the user's web browser.
#include <QString>

class TWebBrowser {
public:
    virtual ~TWebBrowser() = default;
    // Starts the browser program with a new window for the address; false when it cannot be started.
    virtual bool OpenNewWindow(const QString& address) = 0;
    // Opens the address with the system's handler for it.
    virtual bool OpenWithSystemHandler(const QString& address) = 0;
};

TWebBrowser& WebBrowser();
void SetWebBrowser(TWebBrowser* browser);
TWebBrowser& SystemWebBrowser();
