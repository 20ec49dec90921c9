#include "platform/HtmlDialog.h"

#include "platform/InternetSession.h"

#include <QDialog>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr qint64 kMaxPageBytes = 4 * 1024 * 1024;

// An http(s) page through the program's Internet facility (libcurl, loaded when first needed),
// so the program carries no second network stack; empty when it cannot be fetched.
QByteArray FetchPage(const QString& url) {
    QByteArray page;
    const auto session = Internet().Open(QString(), QString());
    if (!session)
        return page;
    const auto request = session->OpenUrl(url, QString(), irfReload);
    if (!request)
        return page;
    char block[16384];
    for (qint64 n; page.size() < kMaxPageBytes && (n = request->Read(block, sizeof block)) > 0;)
        page.append(block, n);
    return page;
}

// Shows the page in a text browser; an http(s) page is fetched first.
class TLinuxHtmlDialog : public THtmlDialog {
public:
    void Show(const QString& address) override {
        QDialog dlg;
        dlg.setWindowTitle(address);
        dlg.resize(600, 450);
        auto* layout = new QVBoxLayout(&dlg);
        auto* view = new QTextBrowser(&dlg);
        view->setOpenExternalLinks(true);
        layout->addWidget(view);

        const QUrl url = QUrl::fromUserInput(address);
        if (url.scheme() == "http" || url.scheme() == "https") {
            view->setHtml(QString::fromUtf8(FetchPage(url.toString())));
        } else {
            QFile f(url.isLocalFile() ? url.toLocalFile() : address);
            if (f.open(QIODevice::ReadOnly))
                view->setHtml(QString::fromUtf8(f.readAll()));
        }
        if (QScreen* s = QGuiApplication::primaryScreen())
            dlg.move(s->availableGeometry().center() - dlg.rect().center());
        dlg.exec();
    }
};

THtmlDialog* g_installed = nullptr;

} // namespace

THtmlDialog& SystemHtmlDialog() {
    static TLinuxHtmlDialog dialog;
    return dialog;
}

THtmlDialog& HtmlDialog() {
    return g_installed ? *g_installed : SystemHtmlDialog();
}

void SetHtmlDialog(THtmlDialog* dialog) {
    g_installed = dialog;
}
