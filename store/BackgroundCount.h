#pragma once
// Counts the rows of a select statement in another thread: a count reads every record (100,000
// notes: tens of milliseconds), which the caller's event loop should not wait for. It runs on the
// caller's attachment and transaction (the client library serialises their use), so the count
// is the listing's own; the caller waits for it before the transaction ends.
#include <QObject>
#include <QString>
#include <atomic>
#include <thread>

namespace fb {
class Attachment;
class Transaction;
} // namespace fb

class TBackgroundCount : public QObject {
    Q_OBJECT
public:
    explicit TBackgroundCount(QObject* parent = nullptr);
    ~TBackgroundCount() override; // waits for a count in flight

    // Starts counting; Counted(ticket, ...) follows in this object's thread. A count still in
    // flight is waited for first.
    void Start(fb::Attachment& att, fb::Transaction& tr, const QString& countSql, int dialect,
               quint64 ticket);
    bool Running() const { return running_; }
    // Waits for a count in flight; its result still follows.
    void Wait();

signals:
    void Counted(quint64 ticket, qint64 total); // total < 0: the count failed

private:
    std::thread thread_;
    std::atomic<bool> running_{false};
};
