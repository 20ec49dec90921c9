#pragma once
// Internals shared by the store's own classes: the handles behind TDatabase and
// TSharedTransaction and the list of result sets a transaction closes when it ends.
#include "store/TDataModuleNotizen.h"
#include "store/fb/FbHandles.h"

#include <vector>

// A result set or statement object that lives in the shared transaction.
class TTransactionClient {
public:
    virtual ~TTransactionClient() = default;
    // The transaction ended (commit, or the connection is closing): close the result,
    // drop an unsaved edit, release prepared statements. Only a handler of a signal it emits
    // may throw, and only after the client's own state is final.
    virtual void TransactionEnded() = 0;
    // The transaction is about to end: work of the client's own in it must be done.
    virtual void TransactionEnding() noexcept {}
    // The connection broke and is being dropped: the transaction is gone without a commit.
    // An edit in progress may keep the user's values (it is saved on a new connection).
    virtual void ConnectionLost() { TransactionEnded(); }
};

struct TDatabase::Impl {
    QString name;
    TCredentials credentials;
    int dialect = 3;
    fb::Attachment att;
    std::vector<TSharedTransaction*> transactions;

    // Lets go of a broken connection without asking the server: every result set is told,
    // the transactions and the attachment are forgotten.
    void Drop() noexcept;
    // Dropped after it broke and not made anew yet: the next start of the transaction
    // connects, unlike after Close().
    bool broken = false;
};

struct TSharedTransaction::Impl {
    explicit Impl(TDatabase& d) : db(d) {}
    TDatabase& db;
    fb::Transaction tr;
    std::vector<TTransactionClient*> clients;

    void EndClients();
    void LoseClients() noexcept;
    // Connects when closed, starts the transaction when inactive.
    void EnsureActive();
    // Starts the transaction; a connection found broken is made anew once.
    void Start();
    void Add(TTransactionClient* c) { clients.push_back(c); }
    void Remove(TTransactionClient* c) { std::erase(clients, c); }
};

// The data module's attachment, connected first when needed (own transactions of the store's
// helpers run on it beside the shared transaction).
fb::Attachment& ConnectedAttachment(TDataModuleNotizen& dataModule);

// The error of a field that the result set does not have (or not while closed).
[[noreturn]] void ThrowFieldNotFound(const QString& dataSet, const QString& field);
