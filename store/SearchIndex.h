#pragma once
// The notes held in memory for searching while the user types: every note's title and text
// folded (SearchRules.h) in one block of UTF-8, and its title as stored for the first release's
// wildcard test. It belongs to the list window: made when the window is shown, gone when it
// closes; the program idle in the tray holds none of it.
//
// Loading runs in slices on the user-interface thread, each a short transaction of its own on
// the data module's connection (a backup may close that connection between two slices; an
// index never opens a connection that was closed on purpose). Changes committed since are taken
// from the database's change journal (schema version 3), whoever made them. A database without
// a journal (an account that could not upgrade it) has no index: Unavailable(), and the search
// runs SearchStatement().
#include <QObject>
#include <QString>
#include <cstddef>
#include <memory>
#include <vector>

class TDataModuleNotizen;

class TSearchIndex : public QObject {
    Q_OBJECT
public:
    explicit TSearchIndex(TDataModuleNotizen& dm, QObject* parent = nullptr);
    ~TSearchIndex() override;

    // Loads the next notes for about budgetMs. True when there is nothing more to do for now:
    // the index is Ready(), Unavailable(), or the connection is closed or broken (LoadingNeeded()
    // comes when loading can go on). Never throws: a failure is kept in LastError().
    bool LoadSlice(int budgetMs = 20);
    bool Ready() const;
    // No journal to keep an index current (or none readable by this account): search with the
    // statement instead. Stays so for the index's life.
    bool Unavailable() const;

    // Takes every change committed since the last call (by this or another program) from the
    // journal; one indexed query when nothing changed. A journal that cannot be followed (the
    // last look is older than the journal keeps entries, the connection was made anew, e.g.
    // around a restore) starts loading again: Ready() is false until it is done, and
    // LoadingNeeded() is emitted. Never throws.
    void Refresh();

    // The ids of the notes the term finds, in id order (SearchRules.h). Empty while not Ready().
    std::vector<qint64> Find(const QString& term) const;
    qint64 Count() const; // notes held
    size_t MemoryBytes() const;
    QString LastError() const;

signals:
    // The index has to load (again): call LoadSlice() until it returns true.
    void LoadingNeeded();

public:
    struct Impl;

private:
    std::unique_ptr<Impl> d_;
};
