#include "update/Minisign.h"

#include <QList>
#include <QRegularExpression>
#include <cstring>
#include <sodium.h>

namespace {

constexpr const char kUntrusted[] = "untrusted comment: ";
constexpr const char kTrusted[] = "trusted comment: ";
constexpr qsizetype kMaxCommentLength = 1024; // minisign's own limit for a comment

bool Fail(QString* error, const QString& reason) {
    if (error)
        *error = reason;
    return false;
}

void EnsureSodium() {
    static const int ready = sodium_init(); // idempotent; < 0 only when no entropy source exists
    (void)ready;
}

// Strict base64 (standard alphabet, padded) that must decode to exactly n bytes.
bool DecodeExact(const QByteArray& text, std::uint8_t* out, size_t n) {
    if (text.isEmpty())
        return false;
    size_t length = 0;
    const char* end = nullptr;
    if (sodium_base642bin(out, n, text.constData(), size_t(text.size()), nullptr, &length, &end,
                          sodium_base64_VARIANT_ORIGINAL) != 0)
        return false;
    return length == n && end == text.constData() + text.size();
}

// Lines without their line break; a file ending in one line break has no empty last line.
QList<QByteArray> Lines(const QByteArray& text) {
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    return lines;
}

// As minisign prints it in its comments: the little-endian number in capital hex digits,
// without leading zeros, so that a user can compare it with the key file.
QString HexKeyId(const std::array<std::uint8_t, 8>& id) {
    QString text;
    for (int i = 7; i >= 0; --i)
        text += QString::asprintf("%02X", id[size_t(i)]);
    while (text.size() > 1 && text.startsWith(u'0'))
        text.remove(0, 1);
    return text;
}

} // namespace

QString TMinisignPublicKey::KeyIdText() const {
    return HexKeyId(KeyId);
}

QString TMinisignSignature::KeyIdText() const {
    return HexKeyId(KeyId);
}

std::optional<TMinisignPublicKey> ParseMinisignPublicKey(const QByteArray& text, QString* error) {
    if (text.size() > kMaxMinisignFileSize) {
        Fail(error, "public key file too large");
        return std::nullopt;
    }
    QList<QByteArray> lines = Lines(text);
    if (!lines.isEmpty() && lines.first().startsWith(kUntrusted))
        lines.removeFirst();
    if (lines.size() != 1) {
        Fail(error, "a public key is one base64 line after the comment");
        return std::nullopt;
    }
    std::uint8_t raw[42];
    if (!DecodeExact(lines.first().trimmed(), raw, sizeof raw)) {
        Fail(error, "the key line is no base64 text of 42 bytes");
        return std::nullopt;
    }
    if (raw[0] != 'E' || raw[1] != 'd') {
        Fail(error, "the key is no Ed25519 key");
        return std::nullopt;
    }
    TMinisignPublicKey key;
    std::memcpy(key.KeyId.data(), raw + 2, 8);
    std::memcpy(key.Key.data(), raw + 10, 32);
    return key;
}

std::optional<TMinisignSignature> ParseMinisignSignature(const QByteArray& text, QString* error) {
    if (text.size() > kMaxMinisignFileSize) {
        Fail(error, "signature file too large");
        return std::nullopt;
    }
    const QList<QByteArray> lines = Lines(text);
    if (lines.size() != 4) {
        Fail(error, QString("%1 lines instead of 4").arg(lines.size()));
        return std::nullopt;
    }
    if (!lines[0].startsWith(kUntrusted) ||
        lines[0].size() - qsizetype(sizeof kUntrusted - 1) > kMaxCommentLength) {
        Fail(error, "line 1 is no untrusted comment");
        return std::nullopt;
    }
    std::uint8_t raw[74];
    if (!DecodeExact(lines[1], raw, sizeof raw)) {
        Fail(error, "line 2 is no base64 text of 74 bytes");
        return std::nullopt;
    }
    TMinisignSignature sig;
    if (raw[0] == 'E' && raw[1] == 'D')
        sig.Prehashed = true;
    else if (raw[0] == 'E' && raw[1] == 'd')
        sig.Prehashed = false;
    else {
        Fail(error, "unknown signature algorithm");
        return std::nullopt;
    }
    std::memcpy(sig.KeyId.data(), raw + 2, 8);
    std::memcpy(sig.Signature.data(), raw + 10, 64);
    if (!lines[2].startsWith(kTrusted)) {
        Fail(error, "line 3 is no trusted comment");
        return std::nullopt;
    }
    sig.TrustedComment = lines[2].mid(qsizetype(sizeof kTrusted - 1));
    if (sig.TrustedComment.size() > kMaxCommentLength) {
        Fail(error, "trusted comment too long");
        return std::nullopt;
    }
    if (!DecodeExact(lines[3], sig.GlobalSignature.data(), sig.GlobalSignature.size())) {
        Fail(error, "line 4 is no base64 text of 64 bytes");
        return std::nullopt;
    }
    return sig;
}

TSignatureVerdict VerifyMinisign(const TMinisignPublicKey& key, const TMinisignSignature& signature,
                                 const QByteArray& message) {
    EnsureSodium();
    if (key.KeyId != signature.KeyId)
        return TSignatureVerdict::OtherKey;
    const auto* bytes = reinterpret_cast<const unsigned char*>(message.constData());
    int rc;
    if (signature.Prehashed) {
        unsigned char hash[crypto_generichash_BYTES_MAX];
        crypto_generichash(hash, sizeof hash, bytes, size_t(message.size()), nullptr, 0);
        rc = crypto_sign_verify_detached(signature.Signature.data(), hash, sizeof hash, key.Key.data());
    } else {
        rc = crypto_sign_verify_detached(signature.Signature.data(), bytes, size_t(message.size()),
                                         key.Key.data());
    }
    if (rc != 0)
        return TSignatureVerdict::BadSignature;
    QByteArray global(reinterpret_cast<const char*>(signature.Signature.data()), 64);
    global += signature.TrustedComment;
    if (crypto_sign_verify_detached(signature.GlobalSignature.data(),
                                    reinterpret_cast<const unsigned char*>(global.constData()),
                                    size_t(global.size()), key.Key.data()) != 0)
        return TSignatureVerdict::BadTrustedComment;
    return TSignatureVerdict::Valid;
}

QString TrustedCommentVersion(const QByteArray& trustedComment) {
    const QString text = QString::fromUtf8(trustedComment);
    for (const QString& word : text.split(QRegularExpression("[ \t]+"), Qt::SkipEmptyParts)) {
        if (word.startsWith("version:"))
            return word.mid(8);
    }
    return QString();
}

QByteArray ReleaseTrustedComment(const QString& version, const QString& fileName) {
    return ("version:" + version + " file:" + fileName).toUtf8();
}
