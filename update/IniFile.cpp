#include "update/IniFile.h"

#include <QFile>
#include <QStringDecoder>

namespace {

// Longest part of a line that is kept; the rest of a longer line is dropped unread.
constexpr qsizetype MaxKeptLine = 64 * 1024;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

QString Decode(const QByteArray& bytes) {
    // The platform's text encoding is UTF-8; text that is not valid UTF-8 is read as Latin-1.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return QString::fromLatin1(bytes);
    return text;
}

} // namespace

bool ParseIniInteger(const QString& text, qint32& value) {
    QString s = text.trimmed();
    bool negative = false;
    if (s.startsWith('-') || s.startsWith('+')) {
        negative = s.startsWith('-');
        s = s.mid(1);
    }
    int base = 10;
    if (s.startsWith('$')) {
        base = 16;
        s = s.mid(1);
    } else if (s.startsWith("0x", Qt::CaseInsensitive)) {
        base = 16;
        s = s.mid(2);
    }
    if (s.isEmpty())
        return false;
    qint64 v = 0;
    for (QChar c : s) {
        int d;
        if (c >= '0' && c <= '9')
            d = c.unicode() - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c.unicode() - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c.unicode() - 'A' + 10;
        else
            return false;
        v = v * base + d;
        if (v > 0xFFFFFFFFLL)
            return false;
    }
    if (base == 16) {
        // Hexadecimal gives the 32-bit pattern: $FFFFFFFF is -1.
        qint32 pattern = qint32(quint32(v));
        value = negative ? -pattern : pattern;
        return true;
    }
    if (negative)
        v = -v;
    if (v < INT32_MIN || v > INT32_MAX)
        return false;
    value = qint32(v);
    return true;
}

TIniFile::TIniFile(const QString& fileName) {
    Load(fileName);
}

bool TIniFile::Load(const QString& fileName) {
    FFileName = fileName;
    FSections.clear();
    FIndex.clear();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Lines longer than MaxKeptLine are cut, so that a huge line is never held in memory.
    QByteArray data;
    qsizetype lineLength = 0;
    char buffer[65536];
    while (true) {
        qint64 n = file.read(buffer, sizeof buffer);
        if (n <= 0)
            break;
        qint64 runStart = 0;
        for (qint64 i = 0; i < n; ++i) {
            if (buffer[i] == '\n' || buffer[i] == '\r') {
                lineLength = 0;
                continue;
            }
            if (++lineLength > MaxKeptLine) {
                // Flush what is kept of this block and skip the character.
                data.append(buffer + runStart, i - runStart);
                runStart = i + 1;
            }
        }
        data.append(buffer + runStart, n - runStart);
    }
    Parse(data);
    return true;
}

TIniFile TIniFile::FromBytes(const QByteArray& bytes) {
    TIniFile ini;
    ini.Parse(bytes);
    return ini;
}

void TIniFile::Parse(const QByteArray& bytes) {
    QByteArray input = bytes;
    if (input.startsWith("\xEF\xBB\xBF"))
        input.remove(0, 3);
    int current = -1; // lines before the first section belong to none
    qsizetype pos = 0;
    const qsizetype size = input.size();
    while (pos < size) {
        qsizetype end = pos;
        while (end < size && input[end] != '\n' && input[end] != '\r')
            ++end;
        qsizetype b = pos, e = std::min(end, pos + MaxKeptLine);
        pos = end + 1;
        while (b < e && IsBlank(input[b]))
            ++b;
        while (e > b && (IsBlank(input[e - 1]) || input[e - 1] == '\0'))
            --e;
        if (b >= e)
            continue;
        const char* p = input.constData() + b;
        const qsizetype len = e - b;
        if (p[0] == '[') {
            qsizetype close = 1;
            while (close < len && p[close] != ']')
                ++close;
            QString name = Decode(QByteArray(p + 1, close - 1)).trimmed();
            QString lower = name.toLower();
            auto it = FIndex.constFind(lower);
            if (it != FIndex.constEnd()) {
                current = it.value();
            } else {
                FSections.append(TSection{name, {}});
                current = FSections.size() - 1;
                FIndex.insert(lower, current);
            }
            continue;
        }
        if (current < 0 || p[0] == ';')
            continue;
        qsizetype eq = 0;
        while (eq < len && p[eq] != '=')
            ++eq;
        if (eq >= len)
            continue;
        QString key = Decode(QByteArray(p, eq)).trimmed().toLower();
        if (key.isEmpty())
            continue;
        QHash<QString, QString>& values = FSections[current].Values;
        if (values.contains(key))
            continue;
        QString value = Decode(QByteArray(p + eq + 1, len - eq - 1)).trimmed();
        if (value.size() > MaxValueLength)
            value.truncate(MaxValueLength);
        values.insert(key, value);
    }
}

const QString* TIniFile::Find(const QString& section, const QString& key) const {
    auto it = FIndex.constFind(section.trimmed().toLower());
    if (it == FIndex.constEnd())
        return nullptr;
    const QHash<QString, QString>& values = FSections[it.value()].Values;
    auto v = values.constFind(key.trimmed().toLower());
    return v == values.constEnd() ? nullptr : &v.value();
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& def) const {
    const QString* v = Find(section, key);
    return v ? *v : def;
}

qint32 TIniFile::ReadInteger(const QString& section, const QString& key, qint32 def) const {
    const QString* v = Find(section, key);
    qint32 value;
    if (!v || !ParseIniInteger(*v, value))
        return def;
    return value;
}

bool TIniFile::ReadFlag(const QString& section, const QString& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) == 1;
}

bool TIniFile::SectionExists(const QString& section) const {
    return FIndex.contains(section.trimmed().toLower());
}

bool TIniFile::ValueExists(const QString& section, const QString& key) const {
    return Find(section, key) != nullptr;
}

QStringList TIniFile::Sections() const {
    QStringList names;
    for (const TSection& s : FSections)
        names << s.Name;
    return names;
}
