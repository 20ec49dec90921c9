#include "platform/HtmlDialog.h"

#include <QDialog>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScreen>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// Shows the page in a text browser; an http(s) page is fetched first (at most 30 seconds).
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
            QNetworkAccessManager nam;
            QNetworkReply* reply = nam.get(QNetworkRequest(url));
            QEventLoop loop;
            QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
            QTimer::singleShot(30000, &loop, &QEventLoop::quit);
            loop.exec();
            view->setHtml(QString::fromUtf8(reply->readAll()));
            reply->deleteLater();
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
