#include "ui/MessageDialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <cstdio>

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
        QPlainTextEdit* detailedText = nullptr;
        if (!r.details.isEmpty()) {
            detailedText = new QPlainTextEdit(r.details, this);
            detailedText->setObjectName(QStringLiteral("DetailedText"));
            detailedText->setReadOnly(true);
            detailedText->setLineWrapMode(QPlainTextEdit::NoWrap);
            detailedText->setMinimumSize(420, 120);
            detailedText->hide();
            auto* toggle = new QPushButton(QStringLiteral("Show Details..."), this);
            toggle->setObjectName(QStringLiteral("Details"));
            toggle->setAutoDefault(false);
            connect(toggle, &QPushButton::clicked, this, [toggle, detailedText] {
                detailedText->setVisible(!detailedText->isVisible());
                toggle->setText(detailedText->isVisible() ? QStringLiteral("Hide Details...")
                                                          : QStringLiteral("Show Details..."));
            });
            row->addWidget(toggle);
        }
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
        if (detailedText)
            outer->addWidget(detailedText);
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

QString DetailsReport(const TDialogRequest& request) {
    QString report = QStringLiteral("%1: %2").arg(request.caption.isEmpty() ? DialogCaption(request.type)
                                                                            : request.caption,
                                                  request.text.split(u'\n', Qt::SkipEmptyParts).join(u' '));
    for (const QString& line : request.details.split(u'\n', Qt::SkipEmptyParts))
        report += QStringLiteral("\n  ") + line;
    return report;
}

TModalResult ShowDialogRequest(const TDialogRequest& request) {
    TDialogRequest r = request;
    if (r.caption.isEmpty())
        r.caption = DialogCaption(r.type);
    // Whoever only sees the terminal or a log learns the cause as well.
    if (!r.details.isEmpty()) {
        std::fprintf(stderr, "%s\n", DetailsReport(r).toLocal8Bit().constData());
        std::fflush(stderr);
    }
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

TModalResult MessageDlg(const QString& msg, TMsgDlgType type, int buttons, int helpContext,
                        const QString& details) {
    return ShowDialogRequest(TDialogRequest{DialogCaption(type), msg, type, buttons, helpContext, details});
}

void ShowMessage(const QString& msg) {
    MessageDlg(msg, TMsgDlgType::Custom, mbOK);
}

void SystemMessageBox(const QString& text, const QString& caption, const QString& details) {
    ShowDialogRequest(TDialogRequest{caption, text, TMsgDlgType::Custom, mbOK, 0, details});
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
