#include "notes/DraftKeeper.h"

#include <QGuiApplication>
#include <QSessionManager>

TDraftKeeper::TDraftKeeper(const TDraftStore* store, std::function<std::optional<TDraft>()> snapshot,
                           QObject* parent)
    : QObject(parent), store_(store), snapshot_(std::move(snapshot)) {
    pause_.setSingleShot(true);
    pause_.setInterval(kPauseMs);
    connect(&pause_, &QTimer::timeout, this, &TDraftKeeper::Flush);
    // The end of the program (Beenden, a termination signal) and of the desktop session.
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QCoreApplication::aboutToQuit, this, &TDraftKeeper::Flush);
        connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { Flush(); });
    }
}

void TDraftKeeper::Changed() {
    if (!store_)
        return;
    dirty_ = true;
    pause_.start();
}

void TDraftKeeper::Flush() {
    pause_.stop();
    if (!store_ || !dirty_)
        return;
    const std::optional<TDraft> draft = snapshot_();
    if (!draft) {
        dirty_ = false;
        return;
    }
    lastError_ = store_->Save(*draft);
    if (lastError_.isEmpty())
        dirty_ = false;
    else
        qWarning("Keeping the draft: %s", qPrintable(lastError_));
}

void TDraftKeeper::Discard(qint64 noteId) {
    pause_.stop();
    dirty_ = false;
    if (store_)
        store_->Remove(noteId);
}

std::optional<TDraft> TDraftKeeper::Load(qint64 noteId) const {
    return store_ ? store_->Load(noteId) : std::nullopt;
}

QList<qint64> TDraftKeeper::NoteIds() const {
    return store_ ? store_->NoteIds() : QList<qint64>{};
}
