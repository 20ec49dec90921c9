#pragma once
// The database-wait pointer (hourglass with "SQL"), set for the life of a scope.
class TDbWaitCursor {
public:
    TDbWaitCursor();
    ~TDbWaitCursor();
    TDbWaitCursor(const TDbWaitCursor&) = delete;
    TDbWaitCursor& operator=(const TDbWaitCursor&) = delete;

    static bool Active(); // true while any guard is alive (for tests)
};
