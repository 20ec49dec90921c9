#pragma once
// The database-wait pointer (hourglass with "SQL"), set for the life of a scope:
//     { TDbWaitCursor wait; query.Open(); }  // the pointer comes back also when Open() throws
// Guards nest; the pointer in force before the outermost guard returns with it.
class QPixmap;

class TDbWaitCursor {
public:
    TDbWaitCursor();
    ~TDbWaitCursor();
    TDbWaitCursor(const TDbWaitCursor&) = delete;
    TDbWaitCursor& operator=(const TDbWaitCursor&) = delete;

    static bool Active();     // true while any guard is alive (for tests)
    static QPixmap Picture(); // the pointer's picture

private:
    bool pushed_ = false;
};
