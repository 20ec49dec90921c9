#include "platform/Autostart.h"

namespace {
TAutostart* installed = nullptr;
}

TAutostart& Autostart() {
    return installed ? *installed : SystemAutostart();
}

void SetAutostart(TAutostart* autostart) {
    installed = autostart;
}
