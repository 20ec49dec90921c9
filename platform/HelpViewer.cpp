#include "platform/HelpViewer.h"

namespace {
THelpViewer* g_helpViewer = nullptr;
}

THelpViewer& HelpViewer() {
    return g_helpViewer ? *g_helpViewer : SystemHelpViewer();
}

void SetHelpViewer(THelpViewer* viewer) {
    g_helpViewer = viewer;
}
