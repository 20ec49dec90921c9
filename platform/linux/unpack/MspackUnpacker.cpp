// Cabinet and SZDD decoding with libmspack.
#include "platform/Unpacker.h"

#include <QFile>
#include <mspack.h>

namespace {

class TMspackCabinet : public TCabinet {
public:
    // libmspack keeps the name pointer given to open(): the cabinet owns the name's bytes.
    TMspackCabinet(mscab_decompressor* cabd, mscabd_cabinet* cab, QByteArray name)
        : FCabd(cabd), FCab(cab), FName(std::move(name)) {
        for (mscabd_file* f = FCab->files; f; f = f->next)
            FFiles.append(f);
    }
    ~TMspackCabinet() override {
        FCabd->close(FCabd, FCab);
        mspack_destroy_cab_decompressor(FCabd);
    }

    QList<TCabinetEntry> Entries() const override {
        QList<TCabinetEntry> entries;
        for (mscabd_file* f : FFiles) {
            TCabinetEntry e;
            e.Name = (f->attribs & MSCAB_ATTRIB_UTF_NAME) ? QString::fromUtf8(f->filename)
                                                          : QString::fromLatin1(f->filename);
            e.Size = f->length;
            e.Time =
                QDateTime(QDate(f->date_y, f->date_m, f->date_d), QTime(f->time_h, f->time_m, f->time_s));
            entries.append(e);
        }
        return entries;
    }

    bool Extract(int index, const QString& outPath) override {
        if (index < 0 || index >= FFiles.size())
            return false;
        const QByteArray out = QFile::encodeName(outPath);
        return FCabd->extract(FCabd, FFiles[index], out.constData()) == MSPACK_ERR_OK;
    }

private:
    mscab_decompressor* FCabd;
    mscabd_cabinet* FCab;
    QByteArray FName;
    QList<mscabd_file*> FFiles;
};

class TMspackUnpacker : public TUnpacker {
public:
    std::unique_ptr<TCabinet> OpenCabinet(const QString& path) override {
        mscab_decompressor* cabd = mspack_create_cab_decompressor(nullptr);
        if (!cabd)
            return nullptr;
        QByteArray name = QFile::encodeName(path);
        mscabd_cabinet* cab = cabd->open(cabd, name.constData());
        if (!cab) {
            mspack_destroy_cab_decompressor(cabd);
            return nullptr;
        }
        return std::make_unique<TMspackCabinet>(cabd, cab, std::move(name));
    }

    std::optional<char> SzddMissingChar(const QString& path) override {
        msszdd_decompressor* d = mspack_create_szdd_decompressor(nullptr);
        if (!d)
            return std::nullopt;
        const QByteArray name = QFile::encodeName(path);
        std::optional<char> result;
        if (msszddd_header* h = d->open(d, name.constData())) {
            result = h->missing_char;
            d->close(d, h);
        }
        mspack_destroy_szdd_decompressor(d);
        return result;
    }

    bool ExpandSzdd(const QString& path, const QString& outPath) override {
        msszdd_decompressor* d = mspack_create_szdd_decompressor(nullptr);
        if (!d)
            return false;
        const QByteArray in = QFile::encodeName(path), out = QFile::encodeName(outPath);
        const bool ok = d->decompress(d, in.constData(), out.constData()) == MSPACK_ERR_OK;
        mspack_destroy_szdd_decompressor(d);
        return ok;
    }
};

} // namespace

TUnpacker& Unpacker() {
    static TMspackUnpacker unpacker;
    return unpacker;
}
