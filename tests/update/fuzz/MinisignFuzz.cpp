// libFuzzer target: the minisign signature and public-key readers, and verification of whatever
// they accept (a signature file and a key are untrusted bytes from the update server or a file).
#include "update/Minisign.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    static const std::optional<TMinisignPublicKey> known =
        ParseMinisignPublicKey("RWTiD5mWYjvLp0061I4mHZa1/KwMK/UNd65MS6A5aQ1a1WRItQDtG0g7");
    if (!known)
        __builtin_trap();

    QString why;
    if (const std::optional<TMinisignSignature> sig = ParseMinisignSignature(bytes, &why)) {
        if (sig->TrustedComment.size() > 1024)
            __builtin_trap();
        (void)VerifyMinisign(*known, *sig, bytes);
        (void)VerifyMinisign(*known, *sig, QByteArray());
        (void)sig->KeyIdText();
        (void)TrustedCommentVersion(sig->TrustedComment);
    } else if (why.isEmpty()) {
        __builtin_trap(); // every refusal names its reason
    }
    if (const std::optional<TMinisignPublicKey> key = ParseMinisignPublicKey(bytes)) {
        (void)key->KeyIdText();
        if (const auto sig = ParseMinisignSignature(bytes))
            (void)VerifyMinisign(*key, *sig, bytes);
    }
    return 0;
}
