#pragma once
// Keeps a window's unsaved text as a draft: written a moment after typing pauses, at once when
// the program or the session ends or when the window is about to lose the text, and removed when
// the text is saved or given up.
#include "store/DraftStore.h"

#include <QObject>
#include <QTimer>
#include <functional>

class TDraftKeeper : public QObject {
    Q_OBJECT
public:
    static constexpr int kPauseMs = 1000;

    // store may be null: no drafts are kept. snapshot: what the window holds now, or nothing when
    // it holds no text of its own (nothing being edited).
    TDraftKeeper(const TDraftStore* store, std::function<std::optional<TDraft>()> snapshot,
                 QObject* parent = nullptr);

    bool Enabled() const { return store_ != nullptr; }
    void Changed(); // typing: written once it pauses
    void Flush();   // written now, when something changed since the last write
    // The text was saved or given up: no draft for this note any more.
    void Discard(qint64 noteId);
    std::optional<TDraft> Load(qint64 noteId) const;
    QList<qint64> NoteIds() const;

    // The reason the last write failed; empty when it worked.
    const QString& LastError() const { return lastError_; }

private:
    const TDraftStore* store_;
    std::function<std::optional<TDraft>()> snapshot_;
    QTimer pause_;
    bool dirty_ = false;
    QString lastError_;
};
