#include "platform/WebBrowser.h"

#include "platform/CommandLine.h"
#include "platform/Process.h"

#include <QDesktopServices>
#include <QUrl>

namespace {

// The Debian alternative for the user's browser, falling back to the desktop's handler.
class TLinuxWebBrowser : public TWebBrowser {
public:
    bool OpenNewWindow(const QString& address) override {
        const TProcessStart r =
            ProcessFacility().Start("x-www-browser " + QuoteArgument(address), TWindowShow::Normal, false);
        return r.ok;
    }
    bool OpenWithSystemHandler(const QString& address) override {
        return QDesktopServices::openUrl(QUrl::fromUserInput(address));
    }
};

TWebBrowser* g_installed = nullptr;

} // namespace

TWebBrowser& SystemWebBrowser() {
    static TLinuxWebBrowser browser;
    return browser;
}

TWebBrowser& WebBrowser() {
    return g_installed ? *g_installed : SystemWebBrowser();
}

void SetWebBrowser(TWebBrowser* browser) {
    g_installed = browser;
}
