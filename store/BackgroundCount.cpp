#include "store/BackgroundCount.h"

#include "store/StoreInternals.h"

TBackgroundCount::TBackgroundCount(QObject* parent) : QObject(parent) {}

TBackgroundCount::~TBackgroundCount() {
    Wait();
}

void TBackgroundCount::Wait() {
    if (thread_.joinable())
        thread_.join();
}

void TBackgroundCount::Start(fb::Attachment& att, fb::Transaction& tr, const QString& countSql, int dialect,
                             quint64 ticket) {
    Wait();
    running_ = true;
    thread_ = std::thread([this, &att, &tr, countSql, dialect, ticket] {
        qint64 total = -1;
        try {
            fb::Statement s(att);
            s.Prepare(tr, countSql, dialect);
            s.Execute(tr);
            total = s.Fetch() ? s.AsInt64(0) : 0;
            s.CloseCursor();
        } catch (...) {
            total = -1; // the caller counts again itself, where an error is shown
        }
        running_ = false;
        // Dropped unread when this object goes first: its destructor has joined the thread.
        QMetaObject::invokeMethod(
            this, [this, ticket, total] { emit Counted(ticket, total); }, Qt::QueuedConnection);
    });
}
