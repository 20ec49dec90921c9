// The engine's host for the real program: message dialogs, release-notes and licence dialogs.
#include "update/TUpdateEngine.h"

#include <QCoreApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace {

constexpr int kDialogSize = 400;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;

std::function<bool(QDialog&, const TTextDialogRequest&)> g_textAnswerer;

} // namespace

void SetTextDialogAnswerer(std::function<bool(QDialog& dialog, const TTextDialogRequest& request)> answerer) {
    g_textAnswerer = std::move(answerer);
}

std::unique_ptr<QDialog> BuildTextDialog(const TTextDialogRequest& r) {
    auto dlg =
        std::make_unique<QDialog>(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    dlg->setWindowTitle(r.Caption);
    dlg->setFixedSize(kDialogSize, kDialogSize);
    if (QScreen* s = QGuiApplication::primaryScreen())
        dlg->move(s->availableGeometry().center() - dlg->rect().center());

    auto* memo = new QPlainTextEdit(dlg.get());
    memo->setObjectName("Memo");
    memo->setReadOnly(true);
    memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setGeometry(10, 10, kDialogSize - 20, kDialogSize - 60);
    memo->setPlainText(r.Lines.join(u'\n'));
    const int right = memo->geometry().right() + 1;
    const int top = memo->geometry().bottom() + 1 + 10;

    if (r.Kind == TTextDialogKind::ReleaseNotes) {
        auto* ok = new QPushButton(r.OkButton, dlg.get());
        ok->setObjectName("BtnOk");
        ok->setGeometry(right - 2 * kButtonWidth - 10, top, kButtonWidth, kButtonHeight);
        ok->setDefault(true);
        auto* cancel = new QPushButton(r.CancelButton, dlg.get());
        cancel->setObjectName("BtnCancel");
        cancel->setGeometry(right - kButtonWidth, top, kButtonWidth, kButtonHeight);
        QObject::connect(ok, &QPushButton::clicked, dlg.get(), &QDialog::accept);
        QObject::connect(cancel, &QPushButton::clicked, dlg.get(), &QDialog::reject);
    } else {
        auto* ok = new QPushButton(r.OkButton, dlg.get());
        ok->setObjectName("BtnOk");
        ok->setGeometry(right - kButtonWidth, top, kButtonWidth, kButtonHeight);
        ok->setDefault(true);
        auto* accept = new QRadioButton(r.Accept, dlg.get());
        accept->setObjectName("RadioAccept");
        accept->adjustSize();
        accept->move(10, top);
        auto* notAccept = new QRadioButton(r.NotAccept, dlg.get());
        notAccept->setObjectName("RadioNotAccept");
        notAccept->adjustSize();
        notAccept->move(10 + accept->width() + 20, top);
        notAccept->setChecked(true);
        QObject::connect(ok, &QPushButton::clicked, dlg.get(), &QDialog::accept);
    }
    return dlg;
}

// The licence counts as accepted only with the accepting choice selected, however it was closed.
static bool TextDialogAccepted(QDialog& dlg, const TTextDialogRequest& r, int result) {
    if (r.Kind == TTextDialogKind::License) {
        auto* accept = dlg.findChild<QRadioButton*>("RadioAccept");
        return accept && accept->isChecked();
    }
    return result == QDialog::Accepted;
}

bool TWidgetUpdateHost::ShowText(const TTextDialogRequest& request) {
    std::unique_ptr<QDialog> dlg = BuildTextDialog(request);
    if (g_textAnswerer) {
        const bool okPressed = g_textAnswerer(*dlg, request);
        return TextDialogAccepted(*dlg, request, okPressed ? QDialog::Accepted : QDialog::Rejected);
    }
    const int result = dlg->exec();
    return TextDialogAccepted(*dlg, request, result);
}

TModalResult TWidgetUpdateHost::Ask(const QString& text, TMsgDlgType type, int buttons) {
    QString shown = text;
    shown.replace("\r\n", "\n").replace(u'\r', u'\n');
    return MessageDlg(shown, type, buttons);
}

void TWidgetUpdateHost::TerminateApplication() {
    QCoreApplication::exit(0);
}
