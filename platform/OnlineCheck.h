#pragma once
// Whether the machine counts as connected to the Internet.
class TOnlineCheck {
public:
    virtual ~TOnlineCheck() = default;
    virtual bool IsConnected() = 0;
};

// The check in use (nullptr: the system's).
TOnlineCheck& OnlineCheck();
void SetOnlineCheck(TOnlineCheck* check);
TOnlineCheck& SystemOnlineCheck();
