#pragma once
// Pictures of the about window, drawn at run time.
#include <QPixmap>

QPixmap MakerPhotograph(); // portrait, 92 x 105
QPixmap ProgramLogo();     // the second logo, 114 x 41
QPixmap FirebirdLogo();    // "powered by Firebird", 120 x 40
