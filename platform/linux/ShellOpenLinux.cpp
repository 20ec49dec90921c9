// Opening through the desktop's handlers (xdg-open and friends, as Qt finds them).
#include "platform/ShellOpen.h"

#include <QDesktopServices>
#include <QUrl>

namespace {
class TDesktopShellOpen : public TShellOpen {
public:
    bool Open(const QString& target) override {
        const QUrl url = QUrl::fromUserInput(target);
        return url.isValid() && QDesktopServices::openUrl(url);
    }
};
} // namespace

TShellOpen& SystemShellOpen() {
    static TDesktopShellOpen opener;
    return opener;
}
