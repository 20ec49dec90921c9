#pragma once
// Animated cursors: the RIFF "ACON" file format and the numbered cursors of the application.
#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QString>
#include <optional>

class QWidget;

struct TAniFrame {
    QImage image; // ARGB32
    QPoint hotspot;
};

struct TAniCursorData {
    QList<TAniFrame> frames;
    QList<int> steps; // frame index per animation step
    QList<int> rates; // display time per step in 1/60 s
};

// Reads an animated cursor file. Frames may be cursor or icon images (1, 4, 8, 24 or 32 bits
// per pixel, or PNG). Returns nothing for data that is not a usable animated cursor.
std::optional<TAniCursorData> ReadAniCursor(const QByteArray& bytes);

// Numbered cursors (0 is the default pointer).
class TAniCursorFacility {
public:
    virtual ~TAniCursorFacility() = default;
    // Loads an animated cursor file at the system's default cursor size. A cursor registered
    // earlier under the number is destroyed first; without usable data nothing is registered.
    virtual bool LoadCursorFromFile(int number, const QString& path) = 0;
    virtual void DestroyCursor(int number) = 0;
    // Pointer of one window, and the application-wide pointer; an unregistered number shows
    // the default pointer.
    virtual void SetWindowCursor(QWidget* window, int number) = 0;
    virtual void SetApplicationCursor(int number) = 0;
};

TAniCursorFacility& AniCursors();
void SetAniCursors(TAniCursorFacility* facility);
TAniCursorFacility& SystemAniCursors();
