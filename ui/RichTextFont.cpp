#include "ui/RichTextFont.h"

#include <QFontDatabase>
#include <QRegularExpression>
#include <QStringList>

QString ArialFamily() {
    static const QString family = [] {
        // Names may carry their foundry: "Nimbus Sans [urw]".
        QStringList have = QFontDatabase::families();
        static const QRegularExpression foundry(QStringLiteral("\\s*\\[[^\\]]*\\]$"));
        for (QString& name : have)
            name.remove(foundry);
        for (const char* f : {"Arial", "Liberation Sans", "Arimo", "Nimbus Sans", "Helvetica"})
            if (have.contains(QLatin1String(f), Qt::CaseInsensitive))
                return QString::fromLatin1(f);
        return QStringLiteral("Arial");
    }();
    return family;
}
