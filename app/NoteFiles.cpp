#include "app/NoteFiles.h"

#include "store/NoteTransfer.h"
#include "store/TDataModuleNotizen.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTextStream>
#include <stdexcept>
#include <vector>

namespace {

#ifdef Q_OS_WIN
const QString kLineBreak = QStringLiteral("\r\n");
#else
const QString kLineBreak = QStringLiteral("\n");
#endif

constexpr int kTitleMaxCharacters = 50;
constexpr qint64 kMaxImportBytes = 64 * 1024 * 1024;

// Raised inside the export's read of the notes: ends the read, the message says why.
class TExportFailed : public std::runtime_error {
public:
    explicit TExportFailed(const QString& message) : std::runtime_error(message.toStdString()) {}
};

bool IsOverview(const QString& fileName, const QByteArray& bytes) {
    return fileName == kOverviewFileName && bytes.startsWith(kOverviewHeading.toUtf8());
}

void WriteAll(QFile& file, const QByteArray& bytes) {
    if (file.write(bytes) != bytes.size() || !file.flush())
        throw TExportFailed(file.fileName() + QStringLiteral(" kann nicht geschrieben werden: ") +
                            file.errorString());
}

} // namespace

QString SafeFileBaseName(const QString& title) {
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    QString name;
    name.reserve(title.size());
    for (const QChar c : title)
        name += (c.unicode() < 0x20 || c.unicode() == 0x7f || forbidden.contains(c)) ? QChar(u'_') : c;
    while (name.endsWith(u' ') || name.endsWith(u'.'))
        name.chop(1);
    if (name.startsWith(u'.'))
        name[0] = u'_';
    if (name.isEmpty())
        return QStringLiteral("Ohne Titel");
    static const QRegularExpression device(QStringLiteral("^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])$"),
                                           QRegularExpression::CaseInsensitiveOption);
    if (device.match(name.section(u'.', 0, 0).trimmed()).hasMatch())
        name += u'_';
    return name;
}

QString UniqueFileName(const QString& base, QSet<QString>& taken) {
    QString name = base + QStringLiteral(".txt");
    for (int n = 2; taken.contains(name.toCaseFolded()); ++n)
        name = base + QStringLiteral(" (%1).txt").arg(n);
    taken.insert(name.toCaseFolded());
    return name;
}

QString ExportedText(const QString& storedText) {
    QString text = storedText;
    if (kLineBreak != QLatin1String("\r\n"))
        text.replace(QLatin1String("\r\n"), kLineBreak);
    return text;
}

QString ImportedText(const QString& fileText) {
    QString text;
    text.reserve(fileText.size() + fileText.size() / 16);
    for (qsizetype i = 0; i < fileText.size(); ++i) {
        const QChar c = fileText[i];
        if (c == u'\r') {
            text += QLatin1String("\r\n");
            if (i + 1 < fileText.size() && fileText[i + 1] == u'\n')
                ++i;
        } else if (c == u'\n') {
            text += QLatin1String("\r\n");
        } else {
            text += c;
        }
    }
    return text;
}

QString TitleFromFileName(const QString& fileName) {
    QString title = QFileInfo(fileName).fileName();
    for (const QLatin1String extension :
         {QLatin1String(".txt"), QLatin1String(".text"), QLatin1String(".md")})
        if (title.endsWith(extension, Qt::CaseInsensitive)) {
            title.chop(extension.size());
            break;
        }
    qsizetype units = 0;
    for (int characters = 0; units < title.size() && characters < kTitleMaxCharacters; ++characters)
        units += (title[units].isHighSurrogate() && units + 1 < title.size()) ? 2 : 1;
    return title.left(units);
}

QString StampText(const QDateTime& stamp) {
    return stamp.isValid() ? stamp.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) : QString();
}

QString MarkdownEscaped(const QString& text) {
    // What can start emphasis, code, a link, an image, HTML, an entity or a closing "#" run.
    static const QString punctuation = QStringLiteral("\\`*_[]<>#!|~&");
    QString out;
    out.reserve(text.size() * 2);
    for (const QChar c : text) {
        if (punctuation.contains(c))
            out += u'\\';
        out += c;
    }
    return out;
}

QString OverviewStart(int noteCountHint) {
    QString start = kOverviewHeading + kLineBreak + kLineBreak + QStringLiteral("Exportiert am ") +
                    StampText(QDateTime::currentDateTime());
    if (noteCountHint >= 0)
        start += QStringLiteral(", %1 Notizen").arg(noteCountHint);
    return start + u'.' + kLineBreak;
}

QString OverviewSection(const TNoteRecord& note, const QString& fileName) {
    const QString heading =
        note.title.isEmpty() ? QStringLiteral("*(ohne Titel)*") : MarkdownEscaped(note.title);
    QString section = kLineBreak + QStringLiteral("## ") + heading + kLineBreak + kLineBreak;
    if (note.stamp.isValid())
        section += QStringLiteral("Angelegt am ") + StampText(note.stamp) + QStringLiteral(" · ");
    section += QStringLiteral("Datei: [") + MarkdownEscaped(fileName) + QStringLiteral("](<") + fileName +
               QStringLiteral(">)") + kLineBreak;
    if (note.text.isEmpty())
        return section;
    // The fence is longer than every run of backticks in the text.
    qsizetype longest = 0, run = 0;
    for (const QChar c : note.text) {
        run = c == u'`' ? run + 1 : 0;
        longest = qMax(longest, run);
    }
    const QString fence(qMax<qsizetype>(3, longest + 1), u'`');
    return section + kLineBreak + fence + QStringLiteral("text") + kLineBreak + ExportedText(note.text) +
           kLineBreak + fence + kLineBreak;
}

bool DecodeTextFile(const QByteArray& bytes, QString* text, QString* error) {
    if (bytes.contains('\0')) {
        *error = QStringLiteral("ist keine Textdatei");
        return false;
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString decoded = decoder.decode(bytes);
    if (decoder.hasError()) {
        *error = QStringLiteral("ist nicht in UTF-8 geschrieben (umwandeln etwa mit "
                                "„iconv -f WINDOWS-1252 -t UTF-8“)");
        return false;
    }
    if (decoded.startsWith(QChar(0xFEFF)))
        decoded.remove(0, 1);
    *text = decoded;
    return true;
}

int ExportNotes(TDataModuleNotizen& dataModule, const QString& directory, QTextStream& out,
                QTextStream& err) {
    const QString dirPath = QDir(directory).absolutePath();
    const QFileInfo info(dirPath);
    if (info.exists() && !info.isDir()) {
        err << "zettelwerk: " << dirPath << " ist kein Verzeichnis." << Qt::endl;
        return 1;
    }
    if (info.exists() &&
        !QDir(dirPath).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        err << "zettelwerk: Das Verzeichnis " << dirPath
            << " ist nicht leer. Der Export überschreibt nichts; bitte ein neues oder leeres Verzeichnis "
               "angeben."
            << Qt::endl;
        return 1;
    }
    if (!QDir().mkpath(dirPath)) {
        err << "zettelwerk: Das Verzeichnis " << dirPath << " kann nicht angelegt werden." << Qt::endl;
        return 1;
    }

    int count = 0;
    try {
        QFile overview(dirPath + u'/' + kOverviewFileName);
        if (!overview.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            throw TExportFailed(overview.fileName() + QStringLiteral(" kann nicht angelegt werden: ") +
                                overview.errorString());
        WriteAll(overview, OverviewStart().toUtf8());
        QSet<QString> taken;
        ReadAllNotes(dataModule, [&](const TNoteRecord& note) {
            const QString name = UniqueFileName(SafeFileBaseName(note.title), taken);
            QFile file(dirPath + u'/' + name);
            if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
                throw TExportFailed(file.fileName() + QStringLiteral(" kann nicht angelegt werden: ") +
                                    file.errorString());
            WriteAll(file, ExportedText(note.text).toUtf8());
            // After the last write, which would set the time again.
            if (note.stamp.isValid() && !(file.setFileTime(note.stamp, QFileDevice::FileModificationTime) &&
                                          file.setFileTime(note.stamp, QFileDevice::FileAccessTime)))
                throw TExportFailed(file.fileName() +
                                    QStringLiteral(": die Zeit kann nicht gesetzt werden: ") +
                                    file.errorString());
            file.close();
            WriteAll(overview, OverviewSection(note, name).toUtf8());
            out << name << Qt::endl;
            ++count;
        });
        overview.close();
        if (overview.error() != QFileDevice::NoError)
            throw TExportFailed(overview.fileName() + QStringLiteral(" kann nicht geschrieben werden: ") +
                                overview.errorString());
    } catch (const std::exception& e) {
        err << "zettelwerk: " << QString::fromUtf8(e.what()) << Qt::endl
            << "zettelwerk: Export abgebrochen nach " << count << (count == 1 ? " Notiz" : " Notizen")
            << "; die Datenbank ist unverändert." << Qt::endl;
        return 1;
    }
    out << count << (count == 1 ? " Notiz" : " Notizen") << " nach " << dirPath << " exportiert (" << count
        << (count == 1 ? " Textdatei" : " Textdateien") << " und " << kOverviewFileName << ")." << Qt::endl;
    return 0;
}

int ImportNotes(TDataModuleNotizen& dataModule, const QStringList& files, QTextStream& out,
                QTextStream& err) {
    std::vector<TNoteRecord> notes;
    QStringList refused, done;
    for (const QString& path : files) {
        const QFileInfo info(path);
        if (!info.exists()) {
            refused << path + QStringLiteral(": Datei nicht gefunden");
            continue;
        }
        if (info.isDir()) {
            refused << path + QStringLiteral(": ist ein Verzeichnis (die Dateien darin angeben, etwa ") +
                           path + QStringLiteral("/*.txt)");
            continue;
        }
        if (!info.isFile()) {
            refused << path + QStringLiteral(": ist keine gewöhnliche Datei");
            continue;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            refused << path + QStringLiteral(": kann nicht gelesen werden: ") + file.errorString();
            continue;
        }
        const QByteArray bytes = file.read(kMaxImportBytes + 1);
        if (file.error() != QFileDevice::NoError) {
            refused << path + QStringLiteral(": kann nicht gelesen werden: ") + file.errorString();
            continue;
        }
        if (bytes.size() > kMaxImportBytes) {
            refused << path + QStringLiteral(": ist zu groß für eine Notiz (höchstens 64 MB)");
            continue;
        }
        if (IsOverview(info.fileName(), bytes)) {
            out << path << ": Übersicht eines Exports, nicht importiert" << Qt::endl;
            continue;
        }
        QString text, why;
        if (!DecodeTextFile(bytes, &text, &why)) {
            refused << path + QStringLiteral(": ") + why;
            continue;
        }
        TNoteRecord note;
        note.title = TitleFromFileName(info.fileName());
        note.text = ImportedText(text);
        note.stamp = info.lastModified();
        done << path + QStringLiteral(" → „") + note.title + QStringLiteral("“");
        notes.push_back(std::move(note));
    }
    if (!refused.isEmpty()) {
        for (const QString& r : refused)
            err << "zettelwerk: " << r << Qt::endl;
        err << "zettelwerk: Nichts importiert: " << refused.size()
            << (refused.size() == 1 ? " Datei kann" : " Dateien können") << " nicht gelesen werden."
            << Qt::endl;
        return 1;
    }
    if (notes.empty()) {
        out << "Keine Notiz importiert." << Qt::endl;
        return 0;
    }
    try {
        AddNotes(dataModule, notes);
    } catch (const std::exception& e) {
        err << "zettelwerk: " << QString::fromUtf8(e.what()) << Qt::endl
            << "zettelwerk: Nichts importiert; die Datenbank ist unverändert." << Qt::endl;
        return 1;
    }
    for (const QString& line : done)
        out << line << Qt::endl;
    const int n = static_cast<int>(notes.size());
    out << n << (n == 1 ? " Notiz" : " Notizen") << " importiert." << Qt::endl;
    return 0;
}
