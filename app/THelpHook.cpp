#include "app/THelpHook.h"

#include "app/ProgramDirectory.h"
#include "info/TWindowsVersionInfo.h"
#include "platform/HelpViewer.h"
#include "platform/OsFacts.h"
#include "ui/MessageDialogs.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLocale>
#include <QThread>
#include <QWidget>

namespace {

const QString kTraceName = QStringLiteral("HelpDebug.txt");

std::unique_ptr<THelpTrace> g_trace;
std::unique_ptr<THelpHook> g_hook;

QString WithSeparator(QString dir) {
    if (!dir.endsWith(u'/'))
        dir += u'/';
    return dir;
}

bool DirectoryWritable(const QString& dir) {
    QFile probe(dir + QStringLiteral("$_Temp_$.$$$"));
    if (!probe.open(QIODevice::WriteOnly))
        return false;
    probe.close();
    return probe.remove();
}

QString ApplicationTitle() {
    const QString title = QGuiApplication::applicationDisplayName();
    return title.isEmpty() ? QStringLiteral("Zettelwerk") : title;
}

} // namespace

// --- rules ------------------------------------------------------------------------------

QString HelpCommandName(int command) {
    switch (command) {
    case HELP_CONTEXT:
        return "HELP_CONTEXT";
    case HELP_QUIT:
        return "HELP_QUIT";
    case HELP_INDEX:
        return "HELP_INDEX or HELP_CONTENTS";
    case HELP_HELPONHELP:
        return "HELP_HELPONHELP";
    case HELP_SETINDEX:
        return "HELP_SETINDEX or HELP_SETCONTENTS";
    case HELP_CONTEXTPOPUP:
        return "HELP_CONTEXTPOPUP";
    case HELP_FORCEFILE:
        return "HELP_FORCEFILE";
    case HELP_CONTEXTMENU:
        return "HELP_CONTEXTMENU";
    case HELP_FINDER:
        return "HELP_FINDER";
    case HELP_WM_HELP:
        return "HELP_WM_HELP";
    case HELP_SETPOPUP_POS:
        return "HELP_SETPOPUP_POS";
    case HELP_KEY:
        return "HELP_KEY";
    case HELP_COMMAND:
        return "HELP_COMMAND";
    case HELP_PARTIALKEY:
        return "HELP_PARTIALKEY";
    case HELP_MULTIKEY:
        return "HELP_MULTIKEY";
    case HELP_SETWINPOS:
        return "HELP_SETWINPOS";
    default:
        return "??";
    }
}

QString PrepareHelpTarget(const QString& helpFile, const QString& windowDefinition) {
    QString target = helpFile;
    target.replace(QLatin1String("%20"), QLatin1String(" "));
    // Blanks only, as the path may end in other white space that belongs to it.
    qsizetype first = 0;
    while (first < target.size() && target.at(first) == u' ')
        ++first;
    qsizetype last = target.size();
    while (last > first && target.at(last - 1) == u' ')
        --last;
    target = target.mid(first, last - first);
    if (!windowDefinition.isEmpty())
        target += u'>' + windowDefinition;
    return target;
}

bool HelpViewerVersionSufficient(const TFixedVersion& v) {
    return !(v.major < 4 || (v.major == 4 && v.minor < 73));
}

QString HelpErrorText(int result) {
    return result == kHelpNotInstalled ? QStringLiteral("MS Html Help is not installed on this PC.")
                                       : QString();
}

int HelpContextOf(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        bool ok = false;
        const int context = w->property("helpContext").toInt(&ok);
        if (ok && context > 0)
            return context;
    }
    return 0;
}

// --- trace --------------------------------------------------------------------------------

THelpTrace::THelpTrace(const QString& exeDirectory, const QStringList& arguments) {
    const QString exeDir = WithSeparator(exeDirectory);
    enabled_ = QFileInfo::exists(exeDir + QStringLiteral("debug.debug"));
    for (const QString& arg : arguments)
        if (arg.compare(QLatin1String("/debug"), Qt::CaseInsensitive) == 0 ||
            arg.compare(QLatin1String("-debug"), Qt::CaseInsensitive) == 0)
            enabled_ = true;

    QString dir = exeDir;
    if (!DirectoryWritable(dir)) {
        dir = QDir::tempPath();
        dir = QFileInfo(dir).isDir() ? WithSeparator(dir) : QDir::rootPath();
    }
    fileName_ = dir + kTraceName;

    // Every start begins without an old trace.
    if (QFileInfo::exists(fileName_)) {
        QFile::setPermissions(fileName_, QFile::ReadOwner | QFile::WriteOwner);
        QFile::remove(fileName_);
    }
}

void THelpTrace::Append(const QString& text) {
    if (!enabled_)
        return;
    QFile file(fileName_);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        file.write((text + u'\n').toUtf8());
}

void THelpTrace::WriteHeader(const QStringList& lines) {
    const QString rule(80, u'=');
    Append(rule);
    for (const QString& line : lines)
        Append(line);
    Append(rule);
}

void THelpTrace::Line(const QString& text) {
    Append(QTime::currentTime().toString(QStringLiteral("hh:mm:ss")) + QStringLiteral("   ") + text);
}

// --- hook ---------------------------------------------------------------------------------

THelpHook::THelpHook(const QString& helpFile, const QString& windowDefinition, int showWay,
                     THelpViewer& viewer, THelpTrace* trace, QObject* parent)
    : QObject(parent), helpFile_(helpFile), windowDefinition_(windowDefinition), showWay_(showWay),
      viewer_(viewer), trace_(trace), loaded_(viewer.Loaded()), installed_(viewer.Version().has_value()) {
    Trace(QStringLiteral("THelpHook.Create(\"%1\",\"%2\", %3)")
              .arg(helpFile_, windowDefinition_)
              .arg(showWay_));
    if (qApp)
        qApp->installEventFilter(this);
}

THelpHook::~THelpHook() {
    if (qApp)
        qApp->removeEventFilter(this);
}

void THelpHook::Trace(const QString& text) {
    if (trace_)
        trace_->Line(text);
}

bool THelpHook::HelpHook(int command, qintptr data) {
    Trace(QStringLiteral("THelpHook.HelpHook(%1 (%2), %3)")
              .arg(command)
              .arg(HelpCommandName(command))
              .arg(data));
    if (command == HELP_CONTEXT || command == HELP_CONTEXTPOPUP) {
        const int result = ShowHelpContext(int(data));
        if (result != kHelpShown)
            ShowHelpError(result);
    }
    return true;
}

int THelpHook::ShowHelpContext(int context) {
    Trace(QStringLiteral("ShowHelpContext(\"%1\", %2, \"%3\", %4)")
              .arg(helpFile_)
              .arg(context)
              .arg(windowDefinition_)
              .arg(showWay_));
    const int result = ShowContext(context);
    Trace(QStringLiteral("  returned - %1").arg(result));
    return result;
}

int THelpHook::ShowContext(int context) {
    const QString target = PrepareHelpTarget(helpFile_, windowDefinition_);
    Trace(QStringLiteral("ShowContext(\"%1\", %2)").arg(target).arg(context));
    // A viewer with a version that could not be loaded is not called either.
    if (!installed_ || !loaded_)
        return kHelpNotInstalled;
    if (QWidget* window = viewer_.ShowContext(target, context)) {
        window->raise();
        window->activateWindow();
    }
    return kHelpShown;
}

void THelpHook::ShowHelpError(int result) {
    const QString text = HelpErrorText(result);
    Trace(QStringLiteral("ShowHelpError(%1), \"%2\"").arg(result).arg(text));
    ShowDialogRequest(TDialogRequest{ApplicationTitle(), text, TMsgDlgType::Warning, mbOK, 0, {}});
}

void THelpHook::CloseAll() {
    if (!loaded_)
        return;
    viewer_.CloseAll();
    QThread::yieldCurrentThread();
}

bool THelpHook::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F1 || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    auto* start = static_cast<QWidget*>(watched);
    if (QWidget* focus = QApplication::focusWidget(); focus && focus->window() == start->window())
        start = focus;
    const int context = HelpContextOf(start);
    if (context <= 0)
        return false;
    HelpHook(HELP_CONTEXT, context);
    return true;
}

// --- the program's help -------------------------------------------------------------------

THelpHook* StartHelp(const THelpSetup& setup) {
    g_hook.reset();
    THelpViewer& viewer = setup.viewer ? *setup.viewer : HelpViewer();
    const QString exeDir = WithSeparator(setup.exeDirectory);

    g_trace = std::make_unique<THelpTrace>(exeDir, setup.arguments);
    if (g_trace->Enabled()) {
        const auto own = ReadOwnVersionResource();
        const auto version = viewer.Version();
        const TWindowsVersionInfo os(OsFacts());
        const QLocale locale;
        g_trace->WriteHeader({
            QStringLiteral("Help trace file: %1").arg(g_trace->FileName()),
            QStringLiteral("Date: %1")
                .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))),
            QStringLiteral("Operating system: %1 %2").arg(os.WindowsVersionsString(), os.ServicePack()),
            QStringLiteral("Locale: %1").arg(locale.name()),
            QStringLiteral("Decimal separator: %1").arg(locale.decimalPoint()),
            QStringLiteral("Executable: %1").arg(QCoreApplication::applicationFilePath()),
            QStringLiteral("Executable version: %1").arg(own ? own->fileVersion.Text() : QString()),
            QStringLiteral("Command line: %1").arg(setup.arguments.join(u' ')),
            QStringLiteral("Help viewer installed: %1, version %2")
                .arg(version ? QStringLiteral("True") : QStringLiteral("False"),
                     version ? version->Text() : QString()),
            QStringLiteral("Web browser component: Qt text browser %1").arg(QString::fromLatin1(qVersion())),
        });
    }

    const QString helpFile = FindHelpFile(exeDir);
    if (!QFileInfo::exists(helpFile))
        ShowMessage(QStringLiteral("Hilfe-Datei nicht gefunden\n") + helpFile);
    const auto version = viewer.Version();
    if (!viewer.Loaded() || !HelpViewerVersionSufficient(version.value_or(TFixedVersion{})))
        ShowMessage(
            QString::fromUtf8("Diese Anwendung erfordert die Installation der MS HTML Help 1.2 oder höher"));

    g_hook = std::make_unique<THelpHook>(helpFile, QString(), hsHtmlHelpApi, viewer, g_trace.get());
    SetHelpRequestHandler([](int helpContext) { ShowHelpContext(helpContext); });
    return g_hook.get();
}

THelpHook* CurrentHelpHook() {
    return g_hook.get();
}

void StopHelp() {
    g_hook.reset();
    g_trace.reset();
}

void HelpStartupChecks(QWidget*) {
    QStringList arguments = QCoreApplication::arguments();
    if (!arguments.isEmpty())
        arguments.removeFirst();
    StartHelp({QCoreApplication::applicationDirPath(), arguments, nullptr});
}

void ShowHelpContext(int helpContext) {
    if (g_hook)
        g_hook->HelpHook(HELP_CONTEXT, helpContext);
}

void HelpCloseAll() {
    if (g_hook)
        g_hook->CloseAll();
}
