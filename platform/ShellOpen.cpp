#include "platform/ShellOpen.h"

namespace {
TShellOpen* current = nullptr;
}

TShellOpen& ShellOpen() {
    return current ? *current : SystemShellOpen();
}

void SetShellOpen(TShellOpen* opener) {
    current = opener;
}

QString MailToTarget(const QString& address) {
    const QString a = address.trimmed();
    return a.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive) ? a : QStringLiteral("mailto:") + a;
}
