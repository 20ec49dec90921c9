#include "platform/linux/ChmArchive.h"

#include <QFile>
#include <QRegularExpression>
#include <cstring>
#include <mspack.h>

namespace {

// Names handed to libmspack point at one of these; the tag keeps them valid C strings.
struct TMemName {
    char tag[8] = "zwmem";
    const QByteArray* in = nullptr;
    QByteArray* out = nullptr;
};

struct TMemFile {
    const QByteArray* in = nullptr;
    QByteArray* out = nullptr;
    qint64 pos = 0;
};

constexpr qint64 kMaxExtract = 64LL * 1024 * 1024;

mspack_file* MemOpen(mspack_system*, const char* filename, int mode) {
    const auto* name = reinterpret_cast<const TMemName*>(filename);
    if (!name || std::strcmp(name->tag, "zwmem") != 0)
        return nullptr;
    auto* f = new TMemFile;
    if (mode == MSPACK_SYS_OPEN_READ && name->in) {
        f->in = name->in;
    } else if (mode == MSPACK_SYS_OPEN_WRITE && name->out) {
        f->out = name->out;
        f->out->clear();
    } else {
        delete f;
        return nullptr;
    }
    return reinterpret_cast<mspack_file*>(f);
}

void MemClose(mspack_file* file) {
    delete reinterpret_cast<TMemFile*>(file);
}

int MemRead(mspack_file* file, void* buffer, int bytes) {
    auto* f = reinterpret_cast<TMemFile*>(file);
    if (!f || !f->in || bytes < 0)
        return -1;
    const qint64 left = f->in->size() - f->pos;
    const int n = int(qBound(qint64(0), left, qint64(bytes)));
    if (n > 0)
        std::memcpy(buffer, f->in->constData() + f->pos, size_t(n));
    f->pos += n;
    return n;
}

int MemWrite(mspack_file* file, void* buffer, int bytes) {
    auto* f = reinterpret_cast<TMemFile*>(file);
    if (!f || !f->out || bytes < 0 || f->out->size() + bytes > kMaxExtract)
        return -1;
    f->out->append(static_cast<const char*>(buffer), bytes);
    return bytes;
}

int MemSeek(mspack_file* file, off_t offset, int mode) {
    auto* f = reinterpret_cast<TMemFile*>(file);
    if (!f || !f->in)
        return -1;
    qint64 target = offset;
    if (mode == MSPACK_SYS_SEEK_CUR)
        target += f->pos;
    else if (mode == MSPACK_SYS_SEEK_END)
        target += f->in->size();
    if (target < 0 || target > f->in->size())
        return -1;
    f->pos = target;
    return 0;
}

off_t MemTell(mspack_file* file) {
    auto* f = reinterpret_cast<TMemFile*>(file);
    return f ? off_t(f->pos) : -1;
}

void MemMessage(mspack_file*, const char*, ...) {}
void* MemAlloc(mspack_system*, size_t bytes) {
    return std::malloc(bytes);
}
void MemFree(void* ptr) {
    std::free(ptr);
}
void MemCopy(void* src, void* dest, size_t bytes) {
    std::memmove(dest, src, bytes);
}

mspack_system g_memSystem = {MemOpen,    MemClose, MemRead, MemWrite, MemSeek, MemTell,
                             MemMessage, MemAlloc, MemFree, MemCopy,  nullptr};

quint32 Le32(const QByteArray& b, qsizetype at) {
    if (at < 0 || at + 4 > b.size())
        return 0;
    const auto* p = reinterpret_cast<const uchar*>(b.constData() + at);
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

quint16 Le16(const QByteArray& b, qsizetype at) {
    if (at < 0 || at + 2 > b.size())
        return 0;
    const auto* p = reinterpret_cast<const uchar*>(b.constData() + at);
    return quint16(p[0] | p[1] << 8);
}

QString ZeroTerminated(const QByteArray& b, qsizetype at) {
    if (at < 0 || at >= b.size())
        return {};
    qsizetype end = b.indexOf('\0', at);
    if (end < 0)
        end = b.size();
    return QString::fromUtf8(b.mid(at, end - at));
}

QString WithSlash(QString name) {
    name.replace(u'\\', u'/');
    if (!name.startsWith(u'/'))
        name.prepend(u'/');
    return name;
}

} // namespace

struct TChmArchive::Impl {
    QByteArray image;
    TMemName name;
    mschm_decompressor* decompressor = nullptr;
    mschmd_header* header = nullptr;
    QHash<QString, mschmd_file*> files; // lower-case name -> entry

    ~Impl() { Reset(); }
    void Reset() {
        if (decompressor) {
            if (header)
                decompressor->close(decompressor, header);
            mspack_destroy_chm_decompressor(decompressor);
        }
        decompressor = nullptr;
        header = nullptr;
        files.clear();
        image.clear();
    }
};

TChmArchive::TChmArchive() : d_(std::make_unique<Impl>()) {}
TChmArchive::~TChmArchive() = default;

bool TChmArchive::Open(const QString& fileName) {
    d_->Reset();
    contexts_.clear();
    title_.clear();
    defaultTopic_.clear();
    contentsFile_.clear();
    fileName_ = fileName;

    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileSize)
        return false;
    d_->image = file.readAll();
    // Some compilers write the header's first GUID twice; the reader wants the standard second one.
    static const uchar kGuid1[16] = {0x10, 0xFD, 0x01, 0x7C, 0xAA, 0x7B, 0xD0, 0x11,
                                     0x9E, 0x0C, 0x00, 0xA0, 0xC9, 0x22, 0xE6, 0xEC};
    if (d_->image.size() >= 0x38 && d_->image.startsWith("ITSF") &&
        std::memcmp(d_->image.constData() + 0x18, kGuid1, 16) == 0 &&
        std::memcmp(d_->image.constData() + 0x28, kGuid1, 16) == 0)
        d_->image[0x28] = char(0x11);

    d_->name.in = &d_->image;
    d_->name.out = nullptr;
    d_->decompressor = mspack_create_chm_decompressor(&g_memSystem);
    if (!d_->decompressor)
        return false;
    d_->header = d_->decompressor->open(d_->decompressor, reinterpret_cast<const char*>(&d_->name));
    if (!d_->header) {
        d_->Reset();
        return false;
    }
    for (mschmd_file* f = d_->header->files; f; f = f->next)
        d_->files.insert(QString::fromUtf8(f->filename).toLower(), f);

    ReadSystemFile();
    ReadContextMap();
    if (contentsFile_.isEmpty())
        for (const QString& n : FileNames())
            if (n.endsWith(QLatin1String(".hhc"), Qt::CaseInsensitive)) {
                contentsFile_ = n;
                break;
            }
    return true;
}

bool TChmArchive::IsOpen() const {
    return d_->header != nullptr;
}

QStringList TChmArchive::FileNames() const {
    QStringList names;
    if (!d_->header)
        return names;
    for (mschmd_file* f = d_->header->files; f; f = f->next)
        names << QString::fromUtf8(f->filename);
    return names;
}

std::optional<QByteArray> TChmArchive::Read(const QString& name) const {
    if (!d_->header)
        return std::nullopt;
    mschmd_file* f = d_->files.value(WithSlash(name).toLower());
    if (!f || f->length > kMaxExtract)
        return std::nullopt;
    if (f->length == 0)
        return QByteArray();
    QByteArray out;
    TMemName target;
    target.out = &out;
    if (d_->decompressor->extract(d_->decompressor, f, reinterpret_cast<const char*>(&target)) !=
        MSPACK_ERR_OK)
        return std::nullopt;
    return out;
}

QString TChmArchive::ResolveName(const QString& reference) const {
    QString ref = reference.trimmed();
    const qsizetype sep = ref.indexOf(QLatin1String("::"));
    if (sep >= 0)
        ref = ref.mid(sep + 2);
    ref = WithSlash(ref);
    QString anchor;
    if (const qsizetype hash = ref.indexOf(u'#'); hash >= 0) {
        anchor = ref.mid(hash);
        ref.truncate(hash);
    }
    if (d_->files.contains(ref.toLower()))
        return QString::fromUtf8(d_->files.value(ref.toLower())->filename) + anchor;
    // Some compilers store the source path of the topic: take the longest matching tail.
    QString best;
    for (auto it = d_->files.cbegin(); it != d_->files.cend(); ++it)
        if (ref.toLower().endsWith(it.key()) && it.key().size() > best.size())
            best = it.key();
    return best.isEmpty() ? QString() : QString::fromUtf8(d_->files.value(best)->filename) + anchor;
}

void TChmArchive::ReadSystemFile() {
    const auto sys = Read("/#SYSTEM");
    if (!sys)
        return;
    qsizetype at = 4; // version
    while (at + 4 <= sys->size()) {
        const quint16 code = Le16(*sys, at);
        const quint16 length = Le16(*sys, at + 2);
        const QByteArray data = sys->mid(at + 4, length);
        at += 4 + length;
        switch (code) {
        case 0:
            contentsFile_ = ResolveName(ZeroTerminated(data, 0));
            break;
        case 2:
            defaultTopic_ = ResolveName(ZeroTerminated(data, 0));
            break;
        case 3:
            title_ = ZeroTerminated(data, 0);
            break;
        default:
            break;
        }
    }
}

void TChmArchive::ReadContextMap() {
    // #IVB: a byte count, then pairs of context number and offset into #STRINGS.
    const auto ivb = Read("/#IVB");
    const auto strings = Read("/#STRINGS");
    if (!ivb || !strings)
        return;
    const qsizetype count = qMin<qsizetype>(Le32(*ivb, 0), ivb->size() - 4) / 8;
    for (qsizetype i = 0; i < count; ++i) {
        const int context = int(Le32(*ivb, 4 + i * 8));
        const QString topic = ResolveName(ZeroTerminated(*strings, Le32(*ivb, 8 + i * 8)));
        if (!topic.isEmpty())
            contexts_.insert(context, topic);
    }
}

QString TChmArchive::TopicOfContext(int context) const {
    return contexts_.value(context);
}

namespace {

QString DecodeEntities(QString s) {
    static const QRegularExpression numeric(QStringLiteral("&#(x?)([0-9a-fA-F]+);"));
    QString out;
    qsizetype last = 0;
    for (auto it = numeric.globalMatch(s); it.hasNext();) {
        const auto m = it.next();
        out += s.mid(last, m.capturedStart() - last);
        bool ok = false;
        const uint code = m.captured(2).toUInt(&ok, m.captured(1).isEmpty() ? 10 : 16);
        if (ok && code > 0 && code <= 0x10FFFF)
            out += QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
        last = m.capturedEnd();
    }
    out += s.mid(last);
    struct {
        const char* entity;
        const char* text;
    } const named[] = {{"&lt;", "<"},   {"&gt;", ">"},    {"&quot;", "\""},     {"&auml;", "ä"},
                       {"&ouml;", "ö"}, {"&uuml;", "ü"},  {"&Auml;", "Ä"},      {"&Ouml;", "Ö"},
                       {"&Uuml;", "Ü"}, {"&szlig;", "ß"}, {"&nbsp;", "\u00a0"}, {"&amp;", "&"}};
    for (const auto& e : named)
        out.replace(QString::fromUtf8(e.entity), QString::fromUtf8(e.text));
    return out;
}

} // namespace

QList<TChmContentsEntry> ParseChmContents(const QString& sitemapHtml) {
    static const QRegularExpression tag(QStringLiteral("<\\s*(/?)\\s*([A-Za-z]+)([^>]*)>"));
    static const QRegularExpression attr(
        QStringLiteral("([A-Za-z]+)\\s*=\\s*(\"([^\"]*)\"|'([^']*)'|([^\\s>]+))"));

    QList<TChmContentsEntry> root;
    // Stack of the lists being filled; a nested list belongs to the last entry of its parent.
    QList<QList<TChmContentsEntry>*> stack{&root};
    bool inSitemap = false;
    int listDepth = 0;
    TChmContentsEntry current;

    for (auto it = tag.globalMatch(sitemapHtml); it.hasNext();) {
        const auto m = it.next();
        const bool closing = !m.captured(1).isEmpty();
        const QString name = m.captured(2).toLower();
        QHash<QString, QString> attrs;
        for (auto a = attr.globalMatch(m.captured(3)); a.hasNext();) {
            const auto am = a.next();
            const QString value = !am.captured(3).isNull()   ? am.captured(3)
                                  : !am.captured(4).isNull() ? am.captured(4)
                                                             : am.captured(5);
            attrs.insert(am.captured(1).toLower(), DecodeEntities(value));
        }
        if (name == QLatin1String("ul")) {
            if (!closing) {
                ++listDepth;
                if (listDepth > 1) {
                    QList<TChmContentsEntry>* parent = stack.last();
                    if (!parent->isEmpty())
                        stack.append(&parent->last().children);
                    else
                        stack.append(parent);
                }
            } else if (listDepth > 0) {
                if (listDepth > 1 && stack.size() > 1)
                    stack.removeLast();
                --listDepth;
            }
        } else if (name == QLatin1String("object")) {
            if (!closing &&
                attrs.value("type").compare(QLatin1String("text/sitemap"), Qt::CaseInsensitive) == 0) {
                inSitemap = true;
                current = {};
            } else if (closing && inSitemap) {
                inSitemap = false;
                if (!current.name.isEmpty() || !current.local.isEmpty())
                    stack.last()->append(current);
            }
        } else if (name == QLatin1String("param") && inSitemap) {
            const QString key = attrs.value("name").toLower();
            if (key == QLatin1String("name") && current.name.isEmpty())
                current.name = attrs.value("value");
            else if (key == QLatin1String("local") && current.local.isEmpty())
                current.local = attrs.value("value");
        }
    }
    return root;
}
