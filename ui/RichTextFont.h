#pragma once
// The face for texts designed in Arial: Arial, else the first installed face with its metrics.
#include <QString>

QString ArialFamily();
