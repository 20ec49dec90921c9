#include "update/SzddEncoder.h"

#include <vector>

namespace {

constexpr int kWindow = 4096;
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 18;
constexpr int kMaxDistance = kWindow - kMaxMatch; // stays clear of the slot being written
constexpr int kWindowStart = kWindow - 16;        // where the expander starts writing
constexpr int kHashSize = 1 << 14;
constexpr int kMaxChain = 64;

int Hash(const unsigned char* p) {
    return ((p[0] << 6) ^ (p[1] << 3) ^ p[2]) & (kHashSize - 1);
}

} // namespace

QByteArray SzddCompress(const QByteArray& data, char missingChar) {
    QByteArray out;
    out.reserve(14 + data.size() + data.size() / 8 + 16);
    out.append("SZDD\x88\xF0\x27\x33", 8);
    out.append('A');
    out.append(missingChar);
    const quint32 len = static_cast<quint32>(data.size());
    for (int i = 0; i < 4; ++i)
        out.append(static_cast<char>((len >> (8 * i)) & 0xff));

    const auto* in = reinterpret_cast<const unsigned char*>(data.constData());
    const qsizetype n = data.size();
    std::vector<qsizetype> head(kHashSize, -1);
    std::vector<qsizetype> prev(static_cast<size_t>(n), -1);

    auto insert = [&](qsizetype pos) {
        if (pos + kMinMatch > n)
            return;
        const int h = Hash(in + pos);
        prev[static_cast<size_t>(pos)] = head[h];
        head[h] = pos;
    };

    qsizetype pos = 0;
    while (pos < n) {
        const qsizetype controlAt = out.size();
        out.append('\0');
        unsigned char control = 0;
        for (int bit = 0; bit < 8 && pos < n; ++bit) {
            int bestLen = 0;
            qsizetype bestPos = 0;
            if (pos + kMinMatch <= n) {
                const int maxLen = static_cast<int>(qMin<qsizetype>(kMaxMatch, n - pos));
                qsizetype cand = head[Hash(in + pos)];
                for (int chain = 0; cand >= 0 && chain < kMaxChain; ++chain) {
                    if (pos - cand > kMaxDistance)
                        break;
                    int l = 0;
                    while (l < maxLen && in[cand + l] == in[pos + l])
                        ++l;
                    if (l > bestLen) {
                        bestLen = l;
                        bestPos = cand;
                        if (l == maxLen)
                            break;
                    }
                    cand = prev[static_cast<size_t>(cand)];
                }
            }
            if (bestLen >= kMinMatch) {
                const int windowPos = static_cast<int>((kWindowStart + bestPos) & (kWindow - 1));
                out.append(static_cast<char>(windowPos & 0xff));
                out.append(static_cast<char>(((windowPos >> 4) & 0xf0) | (bestLen - kMinMatch)));
                for (int k = 0; k < bestLen; ++k)
                    insert(pos + k);
                pos += bestLen;
            } else {
                control |= static_cast<unsigned char>(1u << bit);
                out.append(static_cast<char>(in[pos]));
                insert(pos);
                ++pos;
            }
        }
        out[controlAt] = static_cast<char>(control);
    }
    return out;
}
