#include "platform/VersionInfo.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <cstring>

namespace {

constexpr qint64 kMaxBlockSize = 64 * 1024;
constexpr std::uint64_t kMaxSections = 1u << 20;

// Reads integers of either width and byte order from a byte range; out-of-range reads fail.
struct Reader {
    const QByteArray& bytes;
    bool bigEndian;

    bool get(std::uint64_t offset, int width, std::uint64_t& out) const {
        if (offset > std::uint64_t(bytes.size()) ||
            std::uint64_t(bytes.size()) - offset < std::uint64_t(width))
            return false;
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData()) + offset;
        out = 0;
        for (int i = 0; i < width; ++i) {
            const int shift = bigEndian ? 8 * (width - 1 - i) : 8 * i;
            out |= std::uint64_t(p[i]) << shift;
        }
        return true;
    }
};

bool readAt(QFile& f, std::uint64_t offset, std::uint64_t size, QByteArray& out) {
    if (offset > std::uint64_t(f.size()) || std::uint64_t(f.size()) - offset < size)
        return false;
    if (!f.seek(qint64(offset)))
        return false;
    out = f.read(qint64(size));
    return std::uint64_t(out.size()) == size;
}

std::optional<TFixedVersion> parseFixed(const QString& text) {
    const QStringList parts = text.split('.');
    if (parts.size() != 4)
        return std::nullopt;
    std::uint16_t n[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const uint v = parts[i].toUInt(&ok);
        if (!ok || v > 0xFFFF)
            return std::nullopt;
        n[i] = std::uint16_t(v);
    }
    return TFixedVersion{n[0], n[1], n[2], n[3]};
}

QString normalisedPath(QString path) {
    path = path.trimmed();
    if (!path.startsWith('\\'))
        path.prepend('\\');
    return path.toLower();
}

QString unescape(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (int i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            const QChar c = s[++i];
            out += c == 'n' ? QChar('\n') : c == 'r' ? QChar('\r') : c;
        } else {
            out += s[i];
        }
    }
    return out;
}

} // namespace

QString TFixedVersion::Text() const {
    return QStringLiteral("%1.%2.%3.%4").arg(major).arg(minor).arg(release).arg(build);
}

QString TTranslation::Key() const {
    return QStringLiteral("%1%2").arg(language, 4, 16, QChar('0')).arg(codePage, 4, 16, QChar('0')).toUpper();
}

QString TVersionResource::Value(const QString& path) const {
    return values.value(normalisedPath(path));
}

bool TVersionResource::Contains(const QString& path) const {
    return values.contains(normalisedPath(path));
}

std::optional<TVersionResource> ParseVersionBlock(const QByteArray& block) {
    QByteArray data = block;
    const int nul = data.indexOf('\0');
    if (nul >= 0)
        data.truncate(nul);
    const QStringList lines = QString::fromUtf8(data).split('\n');
    if (lines.isEmpty() || lines.first().trimmed() != QLatin1String("ZWVERSION 1"))
        return std::nullopt;

    TVersionResource r;
    bool haveFile = false, haveProduct = false;
    for (int i = 1; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const int eq = line.indexOf('=');
        if (eq <= 0)
            return std::nullopt;
        const QString key = normalisedPath(line.left(eq));
        const QString value = unescape(line.mid(eq + 1));
        if (key == QLatin1String("\\fixedfileversion") || key == QLatin1String("\\fixedproductversion")) {
            const auto v = parseFixed(value);
            if (!v)
                return std::nullopt;
            if (key.endsWith(QLatin1String("fileversion"))) {
                r.fileVersion = *v;
                haveFile = true;
            } else {
                r.productVersion = *v;
                haveProduct = true;
            }
        } else if (key == QLatin1String("\\varfileinfo\\translation")) {
            for (const QString& k : value.split(' ', Qt::SkipEmptyParts)) {
                bool ok1 = false, ok2 = false;
                const uint lang = k.left(4).toUInt(&ok1, 16);
                const uint cp = k.mid(4).toUInt(&ok2, 16);
                if (k.size() != 8 || !ok1 || !ok2)
                    return std::nullopt;
                r.translations.append(TTranslation{std::uint16_t(lang), std::uint16_t(cp)});
            }
        }
        r.values.insert(key, value);
    }
    if (!haveFile || !haveProduct)
        return std::nullopt;
    return r;
}

std::optional<QByteArray> ElfSectionContents(const QString& file, const QByteArray& sectionName) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray ident;
    if (!readAt(f, 0, 64, ident) && !readAt(f, 0, 52, ident))
        return std::nullopt;
    if (std::memcmp(ident.constData(),
                    "\x7f"
                    "ELF",
                    4) != 0)
        return std::nullopt;
    const int cls = ident[4];
    const int enc = ident[5];
    if ((cls != 1 && cls != 2) || (enc != 1 && enc != 2))
        return std::nullopt;
    const bool is64 = cls == 2;
    const Reader h{ident, enc == 2};

    // Header fields: section header offset, entry size, count, index of the name table.
    std::uint64_t shoff = 0, shentsize = 0, shnum = 0, shstrndx = 0;
    const bool ok = is64 ? h.get(0x28, 8, shoff) && h.get(0x3A, 2, shentsize) && h.get(0x3C, 2, shnum) &&
                               h.get(0x3E, 2, shstrndx)
                         : h.get(0x20, 4, shoff) && h.get(0x2E, 2, shentsize) && h.get(0x30, 2, shnum) &&
                               h.get(0x32, 2, shstrndx);
    const std::uint64_t minEntry = is64 ? 64 : 40;
    if (!ok || shoff == 0 || shentsize < minEntry)
        return std::nullopt;

    struct Section {
        std::uint64_t name = 0, type = 0, offset = 0, size = 0, link = 0;
    };
    auto readSection = [&](std::uint64_t index, Section& s) {
        QByteArray raw;
        if (index >= kMaxSections || !readAt(f, shoff + index * shentsize, minEntry, raw))
            return false;
        const Reader r{raw, enc == 2};
        return is64 ? r.get(0, 4, s.name) && r.get(4, 4, s.type) && r.get(24, 8, s.offset) &&
                          r.get(32, 8, s.size) && r.get(40, 4, s.link)
                    : r.get(0, 4, s.name) && r.get(4, 4, s.type) && r.get(16, 4, s.offset) &&
                          r.get(20, 4, s.size) && r.get(24, 4, s.link);
    };

    // Many sections: the real count and name-table index live in section 0.
    if (shnum == 0 || shstrndx == 0xFFFF) {
        Section zero;
        if (!readSection(0, zero))
            return std::nullopt;
        if (shnum == 0)
            shnum = zero.size;
        if (shstrndx == 0xFFFF)
            shstrndx = zero.link;
    }
    if (shnum == 0 || shnum > kMaxSections || shstrndx >= shnum)
        return std::nullopt;

    Section strtab;
    QByteArray names;
    constexpr std::uint64_t kNoBits = 8;
    if (!readSection(shstrndx, strtab) || strtab.type == kNoBits || strtab.size > 16 * 1024 * 1024 ||
        !readAt(f, strtab.offset, strtab.size, names))
        return std::nullopt;

    for (std::uint64_t i = 1; i < shnum; ++i) {
        Section s;
        if (!readSection(i, s))
            return std::nullopt;
        if (s.name >= std::uint64_t(names.size()))
            continue;
        const char* n = names.constData() + s.name;
        const auto maxLen = std::size_t(names.size()) - std::size_t(s.name);
        if (strnlen(n, maxLen) != std::size_t(sectionName.size()) ||
            std::memcmp(n, sectionName.constData(), std::size_t(sectionName.size())) != 0)
            continue;
        if (s.type == kNoBits || s.size > std::uint64_t(kMaxBlockSize))
            return std::nullopt;
        QByteArray contents;
        if (!readAt(f, s.offset, s.size, contents))
            return std::nullopt;
        return contents;
    }
    return std::nullopt;
}

std::optional<TVersionResource> ReadVersionResource(const QString& file) {
    const auto contents = ElfSectionContents(file, QByteArray(kVersionSectionName));
    if (!contents)
        return std::nullopt;
    return ParseVersionBlock(*contents);
}

std::optional<TVersionResource> ReadOwnVersionResource() {
    QString path;
    if (QCoreApplication::instance())
        path = QCoreApplication::applicationFilePath();
    if (path.isEmpty())
        path = QStringLiteral("/proc/self/exe");
    return ReadVersionResource(path);
}
