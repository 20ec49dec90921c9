#include "app/TfrmAutostartDialog.h"

#include "admin/TfrmVerwaltung.h"
#include "app/FirstStartRecord.h"
#include "store/TSettings.h"
#include "ui/DbWaitCursor.h"
#include "ui/ErrorDisplay.h"
#include "ui/MessageDialogs.h"
#include "ui/RichTextFont.h"
#include "ui/TextFit.h"
#include "ui/WindowLook.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <stdexcept>

namespace {

QPixmap CheckMarkGlyph() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 150, 0), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath path;
    path.moveTo(2.5, 8.5);
    path.lineTo(6.5, 12.5);
    path.lineTo(13.5, 3.5);
    p.drawPath(path);
    return pm;
}

QPixmap CrossGlyph() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(210, 0, 0), 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
    return pm;
}

QPixmap QuestionGlyph() {
    QPixmap pm(24, 24);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 40, 140), 1));
    p.setBrush(QColor(40, 90, 210));
    p.drawEllipse(QRectF(1.5, 1.5, 21, 21));
    QFont f(QStringLiteral("Arial"));
    f.setBold(true);
    f.setPixelSize(16);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, 24, 24), Qt::AlignCenter, QStringLiteral("?"));
    return pm;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, const QPixmap& glyph,
                        const QRect& r) {
    auto* b = new QPushButton(QIcon(glyph), caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(r);
    b->setIconSize(glyph.size());
    b->setAutoDefault(false);
    return b;
}

} // namespace

QString AutostartQuestionText() {
    return QStringLiteral("<span style=\"font-family:'%1'; font-size:11pt;\">").arg(ArialFamily()) +
           QStringLiteral(
               "Soll für Zettelwerk ein <b>Autostart </b>eingerichtet werden?<br><br>"
               "In dem Fall wird Zettelwerk bei jeder Anmeldung <b>automatisch</b> "
               "gestartet.&nbsp;&nbsp;<br>"
               "Diese Einstellung kann in der Verwaltungsmaske <b>(Kontextmenü: Verwaltung)</b><br>"
               "jederzeit nachträglich geändert werden."
               "</span>");
}

TfrmAutostartDialog::TfrmAutostartDialog(TDataModuleNotizen& dataModule, TfrmVerwaltung& verwaltung,
                                         const TFirstStartRecord* here, QWidget* parent)
    : TfrmAutostartDialog(
          dataModule, [&verwaltung]() -> TfrmVerwaltung& { return verwaltung; }, here, parent) {}

TfrmAutostartDialog::TfrmAutostartDialog(TDataModuleNotizen& dataModule,
                                         std::function<TfrmVerwaltung&()> verwaltung,
                                         const TFirstStartRecord* here, QWidget* parent)
    : QDialog(parent), dm_(dataModule), verwaltung_(std::move(verwaltung)), here_(here) {
    setObjectName(QStringLiteral("frmAutostartDialog"));
    setWindowTitle(QStringLiteral("Autostart einrichten?"));
    setProperty("helpContext", kHelpContext);
    ApplyWindowLook(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setModal(true);
    resize(569, 178);
    move(308, 238);

    RichLabel1 = new QLabel(this);
    RichLabel1->setObjectName(QStringLiteral("RichLabel1"));
    RichLabel1->setGeometry(8, 8, 561, 121);
    RichLabel1->setTextFormat(Qt::RichText);
    RichLabel1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    RichLabel1->setWordWrap(false);
    RichLabel1->setText(AutostartQuestionText());

    BtnJa = MakeButton(this, "BtnJa", QStringLiteral("Ja"), CheckMarkGlyph(), QRect(16, 144, 75, 30));
    BtnNein = MakeButton(this, "BtnNein", QStringLiteral("Nein"), CrossGlyph(), QRect(136, 144, 75, 30));
    BtnHilfe =
        MakeButton(this, "BtnHilfe", QStringLiteral("Hilfe"), QuestionGlyph(), QRect(472, 144, 81, 30));
    setTabOrder(BtnHilfe, BtnJa);
    setTabOrder(BtnJa, BtnNein);
    BtnHilfe->setFocus();
    FitText(this);

    connect(BtnJa, &QPushButton::clicked, this, Guarded([this] { BtnJaClick(); }));
    connect(BtnNein, &QPushButton::clicked, this, Guarded([this] { BtnNeinClick(); }));
    connect(BtnHilfe, &QPushButton::clicked, this, Guarded([this] { BtnHilfeClick(); }));
}

TfrmAutostartDialog::~TfrmAutostartDialog() = default;

void TfrmAutostartDialog::BtnJaClick() {
    verwaltung_().RadioButtonAutostartClick();
    Answered();
}

void TfrmAutostartDialog::BtnNeinClick() {
    verwaltung_().RadioButtonKeinAutostartClick();
    Answered();
}

void TfrmAutostartDialog::Answered() {
    {
        TDbWaitCursor wait;
        // Another machine on the same server may have answered first: one settings row only.
        if (!here_ || CountSettingsRows(dm_) == 0)
            MarkFirstStartDone(dm_);
    }
    accept();
    // The answer counts; a record that cannot be written only brings the question again.
    if (here_) {
        const QString error = here_->MarkAnswered();
        if (!error.isEmpty())
            throw std::runtime_error(QStringLiteral("%1 kann nicht geschrieben werden: %2")
                                         .arg(here_->Path(), error)
                                         .toStdString());
    }
}

void TfrmAutostartDialog::BtnHilfeClick() {
    RequestHelp(kHelpContext);
}

void TfrmAutostartDialog::CheckFirstStart() {
    RunGuarded([this] {
        if (CountSettingsRows(dm_) == 0 || (here_ && !here_->Answered())) {
            BtnHilfe->setFocus();
            exec();
        }
    });
}
