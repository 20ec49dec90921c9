#pragma once
// Windows laid out at fixed positions were designed for faces of known widths; another face
// (DejaVu Sans where Arial or MS Sans Serif is missing) needs more room. FitText gives every
// label, push button, check box, radio button and group box of a window the room its text
// needs: the widget grows, what lies to its right (or below it) moves aside, and parents up to
// the window grow to hold their children. Wherever the text fits, the designed geometry stays.
#include <QList>
#include <QRect>
#include <QSize>
#include <QStringList>

class QWidget;

// Grows each rectangle to at least its needed size, keeping its top-left corner. A rectangle
// that lay to the right of (or below) another by design keeps its designed distance to it, up
// to `gap` pixels, by moving right (or down). Rectangles that overlapped by design stay as
// they are.
QList<QRect> MakeRoom(const QList<QRect>& designed, const QList<QSize>& needed, int gap);

// Room for the widget's texts in the whole window; call it when the window is built and
// again after texts have changed. It never shrinks anything.
void FitText(QWidget* window);

// Texts a button or group box shows in other states: room is made for the widest of them
// and the current one.
void SetTextsToFit(QWidget* widget, const QStringList& texts);
