#include "platform/DesktopEntry.h"

#include <QStringList>

namespace {

// Characters that force an Exec argument into double quotes.
const QString kReserved = QStringLiteral(" \t\n\r\"'\\><~|&;$*?#()`");
// Characters written with a backslash inside double quotes.
const QString kQuotedEscapes = QStringLiteral("\"`$\\");

QString EscapeValue(const QString& text) {
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    return out;
}

QString UnescapeValue(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar n = text[++i];
        if (n == u's')
            out += u' ';
        else if (n == u'n')
            out += u'\n';
        else if (n == u't')
            out += u'\t';
        else if (n == u'r')
            out += u'\r';
        else if (n == u'\\')
            out += u'\\';
        else {
            out += c;
            out += n;
        }
    }
    return out;
}

QString UndoublePercent(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == u'%' && i + 1 < text.size() && text[i + 1] == u'%')
            ++i;
    }
    return out;
}

} // namespace

QString DesktopExecValue(const QString& programPath) {
    QString arg = programPath;
    arg.replace(u'%', QStringLiteral("%%"));
    bool needsQuotes = false;
    for (const QChar c : arg)
        if (kReserved.contains(c))
            needsQuotes = true;
    if (needsQuotes) {
        QString quoted = QStringLiteral("\"");
        for (const QChar c : arg) {
            if (kQuotedEscapes.contains(c))
                quoted += u'\\';
            quoted += c;
        }
        quoted += u'"';
        arg = quoted;
    }
    return EscapeValue(arg);
}

QString DesktopExecProgram(const QString& execValue) {
    const QString cmd = UnescapeValue(execValue);
    qsizetype i = 0;
    while (i < cmd.size() && (cmd[i] == u' ' || cmd[i] == u'\t'))
        ++i;
    QString arg;
    if (i < cmd.size() && cmd[i] == u'"') {
        for (++i; i < cmd.size() && cmd[i] != u'"'; ++i) {
            if (cmd[i] == u'\\' && i + 1 < cmd.size() && kQuotedEscapes.contains(cmd[i + 1]))
                ++i;
            arg += cmd[i];
        }
    } else {
        for (; i < cmd.size() && cmd[i] != u' ' && cmd[i] != u'\t'; ++i)
            arg += cmd[i];
    }
    return UndoublePercent(arg);
}

QString AutostartDesktopFile(const QString& name, const QString& programPath) {
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=%1\n"
                          "Exec=%2\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(EscapeValue(name), DesktopExecValue(programPath));
}

QString DesktopEntryValue(const QString& fileText, const QString& key) {
    bool inGroup = false;
    const QStringList lines = fileText.split(u'\n');
    for (QString line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.startsWith(u'[')) {
            inGroup = line.trimmed() == QStringLiteral("[Desktop Entry]");
            continue;
        }
        if (!inGroup || line.startsWith(u'#'))
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0 || line.left(eq).trimmed() != key)
            continue;
        QString value = line.mid(eq + 1);
        while (value.startsWith(u' ') || value.startsWith(u'\t'))
            value.remove(0, 1);
        return value;
    }
    return {};
}
