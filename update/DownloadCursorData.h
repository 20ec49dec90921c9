#pragma once
// The animated download cursor of the update window: an ANI file of 8 frames, 32 x 32 pixels,
// 16 colours, each frame shown for 20/60 s.
#include <QByteArray>

QByteArray DownloadCursorData();
