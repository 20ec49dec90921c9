#include "platform/fake/FakeTrayIcon.h"

namespace {
TFakeTrayIconHost* last = nullptr;
}

TFakeTrayIconHost::TFakeTrayIconHost(QObject* parent) : TTrayIconHost(parent) {
    last = this;
}

TFakeTrayIconHost::~TFakeTrayIconHost() {
    if (last == this)
        last = nullptr;
}

TFakeTrayIconHost* TFakeTrayIconHost::Last() {
    return last;
}

void UseFakeTrayIcons() {
    SetTrayIconFactory([](QObject* parent) { return std::make_unique<TFakeTrayIconHost>(parent); });
}
