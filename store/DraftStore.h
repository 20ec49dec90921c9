#pragma once
// Drafts: what was typed in a note window and not yet saved, kept in files of their own so
// that the end of the program, of the session or a crash does not take it. One file per
// window and note and per database, written whole or not at all (mode 0600 in a 0700
// directory). The rules are pure functions; TDraftStore does the files.
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// noteId 0: the new-note window. A list draft carries the stored title and text its edit began
// from, so that saving it later still notices a change another program made meanwhile.
struct TDraft {
    qint64 noteId = 0;
    QString title;
    QString text; // as the window holds it
    QString baseTitle;
    QString baseText;
    QDateTime written;
    bool operator==(const TDraft&) const = default;
};

// Worth a file: the new-note window holds any text, a list edit differs from what it began with.
bool DraftWorthKeeping(const TDraft& draft);
// "entwurf-<16 hex digits of the database's name>-neu.json" or "...-notiz-<id>.json".
QString DraftFileName(const QString& database, qint64 noteId);
QByteArray EncodeDraft(const TDraft& draft);
// Empty for a file that is not a draft (broken, cut off, another format).
std::optional<TDraft> DecodeDraft(const QByteArray& data);

class TDraftStore {
public:
    // directory: where the drafts lie (made 0700 when first written); database: the connection
    // text or file the drafts belong to.
    TDraftStore(QString directory, QString database);

    std::optional<TDraft> Load(qint64 noteId) const;
    // Stamps the draft's time and writes it; a draft not worth keeping removes the file. Empty on
    // success, else the reason.
    QString Save(TDraft draft) const;
    void Remove(qint64 noteId) const;
    // Notes of this database with a list draft, in no particular order.
    QList<qint64> NoteIds() const;
    const QString& Directory() const { return directory_; }

private:
    QString Path(qint64 noteId) const;
    QString directory_;
    QString database_;
};
