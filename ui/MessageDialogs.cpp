#include "ui/MessageDialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace {

TDialogAnswerer& answerer() {
    static TDialogAnswerer a;
    return a;
}

THelpRequest& helpHandler() {
    static THelpRequest h;
    return h;
}

// Bounds a test answerer that keeps pressing "&Help".
constexpr int kMaxHelpPresses = 100;

class TMessageDialog : public QDialog {
public:
    explicit TMessageDialog(const TDialogRequest& r) : request_(r) {
        setWindowTitle(r.caption.isEmpty() ? DialogCaption(r.type) : r.caption);
        setModal(true);
        if (r.helpContext)
            setProperty("helpContext", r.helpContext); // F1 asks for the same topic
        setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);

        auto* body = new QHBoxLayout;
        const QIcon icon = iconFor(r.type);
        if (!icon.isNull()) {
            auto* iconLabel = new QLabel(this);
            iconLabel->setObjectName(QStringLiteral("Image"));
            iconLabel->setPixmap(icon.pixmap(32, 32));
            iconLabel->setAlignment(Qt::AlignTop);
            body->addWidget(iconLabel);
        }
        auto* text = new QLabel(r.text, this);
        text->setObjectName(QStringLiteral("Message"));
        text->setTextFormat(Qt::PlainText);
        text->setWordWrap(false);
        body->addWidget(text, 1);

        auto* row = new QHBoxLayout;
        row->addStretch();
        const TModalResult def = DefaultResult(r.buttons);
        struct B {
            int flag;
            const char* caption;
            TModalResult result;
        };
        const B all[] = {{mbYes, "&Yes", TModalResult::Yes},
                         {mbNo, "&No", TModalResult::No},
                         {mbOK, "OK", TModalResult::OK},
                         {mbCancel, "Cancel", TModalResult::Cancel},
                         {mbHelp, "&Help", TModalResult::Help}};
        for (const B& b : all) {
            if (!(r.buttons & b.flag))
                continue;
            auto* button = new QPushButton(QString::fromLatin1(b.caption), this);
            button->setAutoDefault(false);
            row->addWidget(button);
            if (b.result == TModalResult::Help) {
                connect(button, &QPushButton::clicked, this, [this] { RequestHelp(request_.helpContext); });
            } else {
                const TModalResult result = b.result;
                connect(button, &QPushButton::clicked, this, [this, result] { finish(result); });
                if (result == def) {
                    button->setDefault(true);
                    button->setFocus();
                }
            }
        }
        row->addStretch();

        auto* outer = new QVBoxLayout(this);
        outer->addLayout(body);
        outer->addSpacing(8);
        outer->addLayout(row);
        outer->setSizeConstraint(QLayout::SetFixedSize);
    }

    TModalResult result() const { return result_; }

    void showEvent(QShowEvent* e) override {
        QDialog::showEvent(e);
        if (QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->geometry().center() - rect().center());
    }

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
            finish(EscapeResult(request_.buttons));
            return;
        }
        QDialog::keyPressEvent(e);
    }
    // The close box and the system close command.
    void reject() override { finish(CloseBoxResult(request_.buttons)); }

private:
    static QIcon iconFor(TMsgDlgType type) {
        QStyle* s = QApplication::style();
        switch (type) {
        case TMsgDlgType::Warning:
            return s->standardIcon(QStyle::SP_MessageBoxWarning);
        case TMsgDlgType::Error:
            return s->standardIcon(QStyle::SP_MessageBoxCritical);
        case TMsgDlgType::Information:
            return s->standardIcon(QStyle::SP_MessageBoxInformation);
        case TMsgDlgType::Confirmation:
            return s->standardIcon(QStyle::SP_MessageBoxQuestion);
        case TMsgDlgType::Custom:
            break;
        }
        return {};
    }

    void finish(TModalResult r) {
        result_ = r;
        done(int(r));
    }

    TDialogRequest request_;
    TModalResult result_ = TModalResult::Cancel;
};

} // namespace

QString DialogCaption(TMsgDlgType type) {
    switch (type) {
    case TMsgDlgType::Warning:
        return QStringLiteral("Warning");
    case TMsgDlgType::Error:
        return QStringLiteral("Error");
    case TMsgDlgType::Information:
        return QStringLiteral("Information");
    case TMsgDlgType::Confirmation:
        return QStringLiteral("Confirm");
    case TMsgDlgType::Custom:
        break;
    }
    return QGuiApplication::applicationDisplayName();
}

TModalResult DefaultResult(int buttons) {
    return (buttons & mbOK) ? TModalResult::OK : TModalResult::Yes;
}

TModalResult EscapeResult(int buttons) {
    if (buttons & mbCancel)
        return TModalResult::Cancel;
    if (buttons & mbNo)
        return TModalResult::No;
    return TModalResult::OK;
}

TModalResult CloseBoxResult(int) {
    return TModalResult::Cancel;
}

TModalResult ShowDialogRequest(const TDialogRequest& request) {
    TDialogRequest r = request;
    if (r.caption.isEmpty())
        r.caption = DialogCaption(r.type);
    if (answerer()) {
        for (int i = 0; i < kMaxHelpPresses; ++i) {
            const TModalResult a = answerer()(r);
            if (a != TModalResult::Help)
                return a;
            RequestHelp(r.helpContext);
        }
        return CloseBoxResult(r.buttons);
    }
    TMessageDialog dialog(r);
    dialog.exec();
    return dialog.result();
}

TModalResult MessageDlg(const QString& msg, TMsgDlgType type, int buttons, int helpContext) {
    return ShowDialogRequest(TDialogRequest{DialogCaption(type), msg, type, buttons, helpContext});
}

void ShowMessage(const QString& msg) {
    MessageDlg(msg, TMsgDlgType::Custom, mbOK);
}

void SystemMessageBox(const QString& text, const QString& caption) {
    ShowDialogRequest(TDialogRequest{caption, text, TMsgDlgType::Custom, mbOK, 0});
}

void SetDialogAnswerer(TDialogAnswerer a) {
    answerer() = std::move(a);
}

void SetHelpRequestHandler(THelpRequest handler) {
    helpHandler() = std::move(handler);
}

void RequestHelp(int helpContext) {
    if (helpHandler())
        helpHandler()(helpContext);
}
