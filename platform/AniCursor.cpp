#include "platform/AniCursor.h"

#include <QtEndian>

namespace {

constexpr quint32 kMaxSteps = 4096;

quint32 U32(const QByteArray& b, qsizetype at) {
    return qFromLittleEndian<quint32>(reinterpret_cast<const uchar*>(b.constData()) + at);
}
quint16 U16(const QByteArray& b, qsizetype at) {
    return qFromLittleEndian<quint16>(reinterpret_cast<const uchar*>(b.constData()) + at);
}

// One device-independent bitmap of an icon or cursor: header, palette, colour bits, mask.
std::optional<QImage> ReadDib(const QByteArray& b) {
    if (b.startsWith("\x89PNG")) {
        QImage png = QImage::fromData(b, "PNG");
        if (png.isNull())
            return std::nullopt;
        return png.convertToFormat(QImage::Format_ARGB32);
    }
    if (b.size() < 40)
        return std::nullopt;
    const quint32 headerSize = U32(b, 0);
    const qint32 width = static_cast<qint32>(U32(b, 4));
    const qint32 height2 = static_cast<qint32>(U32(b, 8));
    const int bits = U16(b, 14);
    const quint32 compression = U32(b, 16);
    quint32 usedColours = U32(b, 32);
    if (headerSize < 40 || headerSize > static_cast<quint32>(b.size()) || width <= 0 || width > 256 ||
        height2 <= 0 || height2 > 512 || compression != 0)
        return std::nullopt;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        return std::nullopt;
    const int height = height2 / 2;
    if (height <= 0)
        return std::nullopt;
    if (bits <= 8 && (usedColours == 0 || usedColours > (1u << bits)))
        usedColours = 1u << bits;
    if (bits > 8)
        usedColours = 0;
    const qsizetype paletteAt = headerSize;
    const qsizetype bitsAt = paletteAt + 4 * qsizetype(usedColours);
    const qsizetype stride = ((qsizetype(width) * bits + 31) / 32) * 4;
    const qsizetype maskStride = ((qsizetype(width) + 31) / 32) * 4;
    const qsizetype maskAt = bitsAt + stride * height;
    const bool hasMask = maskAt + maskStride * height <= b.size();
    if (maskAt > b.size())
        return std::nullopt;

    QImage img(width, height, QImage::Format_ARGB32);
    const auto* data = reinterpret_cast<const uchar*>(b.constData());
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        const uchar* row = data + bitsAt + stride * (height - 1 - y);
        for (int x = 0; x < width; ++x) {
            QRgb px = 0;
            if (bits <= 8) {
                const int perByte = 8 / bits;
                const int shift = (perByte - 1 - x % perByte) * bits;
                const quint32 idx = (row[x / perByte] >> shift) & ((1u << bits) - 1);
                if (idx < usedColours) {
                    const uchar* c = data + paletteAt + 4 * idx;
                    px = qRgb(c[2], c[1], c[0]);
                }
            } else if (bits == 24) {
                const uchar* c = row + 3 * x;
                px = qRgb(c[2], c[1], c[0]);
            } else {
                const uchar* c = row + 4 * x;
                px = qRgba(c[2], c[1], c[0], c[3]);
                anyAlpha = anyAlpha || c[3] != 0;
            }
            img.setPixel(x, y, bits == 32 ? px : (px | 0xff000000u));
        }
    }
    if (hasMask && !(bits == 32 && anyAlpha)) {
        for (int y = 0; y < height; ++y) {
            const uchar* row = data + maskAt + maskStride * (height - 1 - y);
            for (int x = 0; x < width; ++x) {
                const bool transparent = (row[x / 8] >> (7 - x % 8)) & 1;
                QRgb px = img.pixel(x, y);
                img.setPixel(x, y, transparent ? 0u : (px | 0xff000000u));
            }
        }
    }
    return img;
}

// An icon or cursor file holding one or more images; the first image is taken.
std::optional<TAniFrame> ReadIconFile(const QByteArray& b) {
    if (b.size() < 6 + 16 || U16(b, 0) != 0)
        return std::nullopt;
    const int type = U16(b, 2);
    if ((type != 1 && type != 2) || U16(b, 4) < 1)
        return std::nullopt;
    const quint32 size = U32(b, 6 + 8);
    const quint32 offset = U32(b, 6 + 12);
    if (offset > static_cast<quint32>(b.size()) || size > static_cast<quint32>(b.size()) - offset)
        return std::nullopt;
    auto img = ReadDib(b.mid(offset, size));
    if (!img)
        return std::nullopt;
    TAniFrame f;
    f.image = *img;
    if (type == 2)
        f.hotspot = QPoint(U16(b, 6 + 4), U16(b, 6 + 6));
    return f;
}

} // namespace

std::optional<TAniCursorData> ReadAniCursor(const QByteArray& b) {
    if (b.size() < 12 || !b.startsWith("RIFF") || b.mid(8, 4) != "ACON")
        return std::nullopt;
    const qsizetype end = qMin<qsizetype>(b.size(), 8 + qsizetype(U32(b, 4)));
    quint32 frameCount = 0, stepCount = 0, defaultRate = 0;
    bool haveHeader = false;
    QList<int> rates, seq;
    TAniCursorData out;

    // Walks the chunks of a range; "fram" lists are entered, other lists skipped.
    auto walk = [&](auto&& self, qsizetype pos, qsizetype stop) -> bool {
        while (pos + 8 <= stop) {
            const QByteArray id = b.mid(pos, 4);
            const quint32 len = U32(b, pos + 4);
            const qsizetype body = pos + 8;
            if (len > static_cast<quint32>(stop - body))
                return false;
            if (id == "anih" && len >= 36) {
                frameCount = U32(b, body + 4);
                stepCount = U32(b, body + 8);
                defaultRate = U32(b, body + 28);
                haveHeader = true;
            } else if (id == "rate" || id == "seq ") {
                QList<int>& list = id == "rate" ? rates : seq;
                for (quint32 i = 0; i + 4 <= len; i += 4)
                    list << static_cast<int>(U32(b, body + i));
            } else if (id == "LIST" && len >= 4 && b.mid(body, 4) == "fram") {
                if (!self(self, body + 4, body + len))
                    return false;
            } else if (id == "icon") {
                auto frame = ReadIconFile(b.mid(body, len));
                if (!frame)
                    return false;
                out.frames << *frame;
            }
            pos = body + len + (len & 1);
        }
        return true;
    };
    if (!walk(walk, 12, end) || !haveHeader || out.frames.isEmpty())
        return std::nullopt;
    if (frameCount != 0 && static_cast<quint32>(out.frames.size()) != frameCount)
        return std::nullopt;
    if (stepCount == 0)
        stepCount = out.frames.size();
    if (stepCount > kMaxSteps)
        return std::nullopt;
    for (quint32 i = 0; i < stepCount; ++i) {
        const int frame = seq.isEmpty() ? static_cast<int>(i % out.frames.size()) : seq.value(i, -1);
        if (frame < 0 || frame >= out.frames.size())
            return std::nullopt;
        out.steps << frame;
        const int rate = rates.isEmpty() ? static_cast<int>(defaultRate) : rates.value(i, int(defaultRate));
        out.rates << qMax(1, rate);
    }
    return out;
}
