#include "app/NoteFiles.h"

#include "store/NoteTransfer.h"
#include "store/TDataModuleNotizen.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTextStream>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>
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

const QString kRecordStart = QStringLiteral("<!-- zettelwerk ");
const QString kRecordEnd = QStringLiteral(" -->");

// A file's time from a note's stamp and back, to 1/10000 s (file systems keep nanoseconds).
timespec FileTime(const QDateTime& stamp, int ticks) {
    const qint64 ms = stamp.toMSecsSinceEpoch();
    const qint64 seconds = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
    return timespec{static_cast<time_t>(seconds),
                    static_cast<long>((ms - seconds * 1000) * 1000000 + ticks * 100000)};
}

void StampFromFile(const QString& path, TNoteRecord& note) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        note.stamp = QFileInfo(path).lastModified();
        return;
    }
    const qint64 ms = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    note.stamp = QDateTime::fromMSecsSinceEpoch(ms);
    note.stampTicks = static_cast<int>(st.st_mtim.tv_nsec / 100000 % 10);
}

// The title cut to 50 characters; a character made of two UTF-16 units is not split.
QString CutTitle(const QString& title) {
    qsizetype units = 0;
    for (int characters = 0; units < title.size() && characters < kTitleMaxCharacters; ++characters)
        units += (title[units].isHighSurrogate() && units + 1 < title.size()) ? 2 : 1;
    return title.left(units);
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
    return CutTitle(title);
}

QString StampText(const QDateTime& stamp) {
    // From date and time: a time that summer time skips is no valid QDateTime but a stored stamp.
    if (!stamp.date().isValid())
        return QString();
    return stamp.date().toString(QStringLiteral("dd.MM.yyyy")) + u' ' +
           stamp.time().toString(QStringLiteral("HH:mm:ss"));
}

QString ExactStampText(const QDateTime& stamp, int ticks) {
    if (!stamp.date().isValid())
        return QString();
    return stamp.date().toString(Qt::ISODate) + u'T' + stamp.time().toString(QStringLiteral("HH:mm:ss.zzz")) +
           QString::number(qBound(0, ticks, 9));
}

bool ReadExactStamp(const QString& text, QDateTime* stamp, int* ticks) {
    static const QRegularExpression exact(
        QStringLiteral("^(\\d{4}-\\d{2}-\\d{2})T(\\d{2}:\\d{2}:\\d{2})\\.(\\d{3})(\\d)$"));
    const QRegularExpressionMatch m = exact.match(text);
    if (!m.hasMatch())
        return false;
    const QDate date = QDate::fromString(m.captured(1), Qt::ISODate);
    QTime time = QTime::fromString(m.captured(2), QStringLiteral("HH:mm:ss"));
    if (!date.isValid() || !time.isValid())
        return false;
    time = time.addMSecs(m.captured(3).toInt());
    *stamp = QDateTime(date, time);
    *ticks = m.captured(4).toInt();
    return true;
}

QString MarkdownEscaped(const QString& text) {
    // What can start emphasis, code, a link, an image, HTML, an entity or a closing "#" run.
    static const QString punctuation = QStringLiteral("\\`*_[]<>#!|~&");
    QString out;
    out.reserve(text.size() * 2);
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
            out += QStringLiteral("&#%1;").arg(c.unicode()); // a line break would end the heading
            continue;
        }
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

QString OverviewRecordLine(const TNoteRecord& note, const QString& fileName) {
    QJsonObject record{{QStringLiteral("datei"), fileName}, {QStringLiteral("titel"), note.title}};
    if (HasStamp(note))
        record.insert(QStringLiteral("angelegt"), ExactStampText(note.stamp, note.stampTicks));
    if (ImportedText(ExportedText(note.text)) != note.text)
        record.insert(QStringLiteral("text"), note.text);
    // No ">" in the comment, so that no text in it can end it ("-->"); JSON reads \u003e as ">".
    const QString json = QString::fromUtf8(QJsonDocument(record).toJson(QJsonDocument::Compact))
                             .replace(u'>', QLatin1String("\\u003e"));
    return kRecordStart + json + kRecordEnd;
}

QHash<QString, TOverviewRecord> ReadOverviewRecords(const QString& overview, QList<int>* unreadable) {
    QHash<QString, TOverviewRecord> records;
    const QStringList lines = overview.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (!line.startsWith(kRecordStart))
            continue;
        const auto fail = [&] {
            if (unreadable)
                unreadable->append(i + 1);
        };
        if (!line.endsWith(kRecordEnd)) {
            fail();
            continue;
        }
        const QJsonDocument json = QJsonDocument::fromJson(
            line.mid(kRecordStart.size(), line.size() - kRecordStart.size() - kRecordEnd.size()).toUtf8());
        const QJsonObject o = json.object();
        const QString file = o.value(QStringLiteral("datei")).toString();
        if (!json.isObject() || file.isEmpty() || !o.value(QStringLiteral("titel")).isString()) {
            fail();
            continue;
        }
        TOverviewRecord r;
        r.title = o.value(QStringLiteral("titel")).toString();
        if (o.contains(QStringLiteral("angelegt")) &&
            !ReadExactStamp(o.value(QStringLiteral("angelegt")).toString(), &r.stamp, &r.stampTicks)) {
            fail();
            continue;
        }
        r.hasText = o.value(QStringLiteral("text")).isString();
        r.text = o.value(QStringLiteral("text")).toString();
        records.insert(file, r);
    }
    return records;
}

QString OverviewSection(const TNoteRecord& note, const QString& fileName) {
    const QString heading =
        note.title.isEmpty() ? QStringLiteral("*(ohne Titel)*") : MarkdownEscaped(note.title);
    QString section = kLineBreak + QStringLiteral("## ") + heading + kLineBreak + kLineBreak;
    if (HasStamp(note))
        section += QStringLiteral("Angelegt am ") + StampText(note.stamp) + QStringLiteral(" · ");
    section += QStringLiteral("Datei: [") + MarkdownEscaped(fileName) + QStringLiteral("](<") + fileName +
               QStringLiteral(">)") + kLineBreak + OverviewRecordLine(note, fileName) + kLineBreak;
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
            // After the last write, which would set the time again; to 1/10000 s, as stored.
            if (note.stamp.isValid()) {
                const timespec times[2] = {FileTime(note.stamp, note.stampTicks),
                                           FileTime(note.stamp, note.stampTicks)};
                if (::futimens(file.handle(), times) != 0)
                    throw TExportFailed(file.fileName() +
                                        QStringLiteral(": die Zeit kann nicht gesetzt werden: ") +
                                        QString::fromLocal8Bit(std::strerror(errno)));
            }
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
    QStringList refused, shown;
    // The records of the overviews of the directories the files lie in (an export's).
    QHash<QString, QHash<QString, TOverviewRecord>> overviews;
    const auto recordsBeside = [&](const QFileInfo& info) -> const QHash<QString, TOverviewRecord>& {
        const QString dir = info.absolutePath();
        if (const auto known = overviews.constFind(dir); known != overviews.cend())
            return *known;
        QHash<QString, TOverviewRecord> records;
        QFile md(dir + u'/' + kOverviewFileName);
        if (md.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = md.readAll(); // it holds every text of the export
            if (IsOverview(kOverviewFileName, bytes)) {
                QList<int> unreadable;
                records = ReadOverviewRecords(QString::fromUtf8(bytes), &unreadable);
                for (const int line : unreadable)
                    out << md.fileName() << ", Zeile " << line
                        << ": Eintrag nicht lesbar; für seine Datei gilt der Dateiname." << Qt::endl;
            }
        }
        return *overviews.insert(dir, records);
    };
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
        StampFromFile(path, note);
        // A file of an export: the note as it was, whatever the file's name and time say.
        const QHash<QString, TOverviewRecord>& records = recordsBeside(info);
        if (const auto record = records.constFind(info.fileName()); record != records.cend()) {
            note.title = CutTitle(record->title);
            note.stamp = record->stamp;
            note.stampTicks = record->stampTicks;
            // Unless the file was changed since: then its text is the one wanted.
            if (record->hasText && ExportedText(record->text) == text)
                note.text = record->text;
        }
        shown << path + QStringLiteral(" → „") + note.title + QStringLiteral("“");
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
    std::vector<bool> added;
    try {
        added = AddNewNotes(dataModule, notes);
    } catch (const std::exception& e) {
        err << "zettelwerk: " << QString::fromUtf8(e.what()) << Qt::endl
            << "zettelwerk: Nichts importiert; die Datenbank ist unverändert." << Qt::endl;
        return 1;
    }
    int n = 0, skipped = 0;
    for (size_t i = 0; i < notes.size(); ++i) {
        if (added[i]) {
            out << shown[static_cast<qsizetype>(i)] << Qt::endl;
            ++n;
        } else {
            out << shown[static_cast<qsizetype>(i)] << ": schon vorhanden, übersprungen" << Qt::endl;
            ++skipped;
        }
    }
    out << n << (n == 1 ? " Notiz" : " Notizen") << " importiert";
    if (skipped > 0)
        out << "; " << skipped
            << (skipped == 1 ? " war schon vorhanden und wurde" : " waren schon vorhanden und wurden")
            << " übersprungen";
    out << "." << Qt::endl;
    return 0;
}
