#pragma once
// Detached Ed25519 signatures in the file format of the minisign tool, verified with libsodium.
// A public key file is "untrusted comment: ..." and one base64 line (algorithm "Ed", 8-byte key
// id, 32-byte key). A signature file has four lines: untrusted comment, base64 of algorithm
// ("ED": over the BLAKE2b-512 hash of the file, "Ed": over the file itself), key id and
// signature, "trusted comment: TEXT", and base64 of the global signature over signature + TEXT.
#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

struct TMinisignPublicKey {
    std::array<std::uint8_t, 8> KeyId{};
    std::array<std::uint8_t, 32> Key{};
    // The key id as minisign shows it: 16 hex digits of the id read as a little-endian number.
    QString KeyIdText() const;
};

struct TMinisignSignature {
    bool Prehashed = true; // "ED"; false for the legacy "Ed"
    std::array<std::uint8_t, 8> KeyId{};
    std::array<std::uint8_t, 64> Signature{};
    QByteArray TrustedComment; // the bytes after "trusted comment: "
    std::array<std::uint8_t, 64> GlobalSignature{};
    QString KeyIdText() const;
};

// Largest signature or key file that is read at all.
constexpr qsizetype kMaxMinisignFileSize = 16 * 1024;

// A public key file, or its base64 line alone. nullopt (and a reason in error) when malformed.
std::optional<TMinisignPublicKey> ParseMinisignPublicKey(const QByteArray& text, QString* error = nullptr);

// A signature file. nullopt (and a reason in error) when it does not have exactly the shape above.
std::optional<TMinisignSignature> ParseMinisignSignature(const QByteArray& text, QString* error = nullptr);

enum class TSignatureVerdict {
    Valid,
    OtherKey,          // signed with a key whose id differs from the public key's
    BadSignature,      // the signature does not fit the message
    BadTrustedComment, // the global signature does not fit the trusted comment
};

// Checks key id, the signature over message and the global signature over the trusted comment.
TSignatureVerdict VerifyMinisign(const TMinisignPublicKey& key, const TMinisignSignature& signature,
                                 const QByteArray& message);

// The release version carried by a trusted comment as a blank- or tab-separated word
// "version:1.0.1"; empty when there is none.
QString TrustedCommentVersion(const QByteArray& trustedComment);

// The trusted comment that zw-publish signs with for a release version.
QByteArray ReleaseTrustedComment(const QString& version, const QString& fileName);
