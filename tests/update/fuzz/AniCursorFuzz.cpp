// libFuzzer target: the animated-cursor reader (RIFF "ACON" with icon, cursor, BMP and PNG frames).
#include "platform/AniCursor.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const std::optional<TAniCursorData> ani = ReadAniCursor(bytes)) {
        if (ani->steps.size() != ani->rates.size() || ani->frames.isEmpty())
            __builtin_trap();
        for (int s : ani->steps)
            if (s < 0 || s >= ani->frames.size())
                __builtin_trap();
        for (const TAniFrame& f : ani->frames)
            if (f.image.isNull())
                __builtin_trap();
    }
    return 0;
}
