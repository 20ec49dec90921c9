#include "store/DraftStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

QString DatabaseKey(const QString& database) {
    return QString::fromLatin1(
        QCryptographicHash::hash(database.toUtf8(), QCryptographicHash::Sha256).toHex().left(16));
}

constexpr auto kFormat = "zettelwerk-entwurf-1";

} // namespace

bool DraftWorthKeeping(const TDraft& draft) {
    if (draft.noteId == 0)
        return !draft.title.isEmpty() || !draft.text.isEmpty();
    return draft.title != draft.baseTitle || draft.text != draft.baseText;
}

QString DraftFileName(const QString& database, qint64 noteId) {
    const QString prefix = QStringLiteral("entwurf-") + DatabaseKey(database);
    return noteId == 0 ? prefix + QStringLiteral("-neu.json")
                       : prefix + QStringLiteral("-notiz-%1.json").arg(noteId);
}

QByteArray EncodeDraft(const TDraft& draft) {
    QJsonObject o;
    o["format"] = kFormat;
    o["notiz"] = QString::number(draft.noteId);
    o["titel"] = draft.title;
    o["text"] = draft.text;
    if (draft.noteId != 0) {
        o["gespeicherterTitel"] = draft.baseTitle;
        o["gespeicherterText"] = draft.baseText;
    }
    o["geschrieben"] = draft.written.toString(Qt::ISODateWithMs);
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

std::optional<TDraft> DecodeDraft(const QByteArray& data) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    bool number = false;
    TDraft d;
    d.noteId = o["notiz"].toString().toLongLong(&number);
    if (o["format"].toString() != QLatin1String(kFormat) || !number || d.noteId < 0 ||
        !o["titel"].isString() || !o["text"].isString())
        return std::nullopt;
    d.title = o["titel"].toString();
    d.text = o["text"].toString();
    d.baseTitle = o["gespeicherterTitel"].toString();
    d.baseText = o["gespeicherterText"].toString();
    d.written = QDateTime::fromString(o["geschrieben"].toString(), Qt::ISODateWithMs);
    return d;
}

TDraftStore::TDraftStore(QString directory, QString database)
    : directory_(std::move(directory)), database_(std::move(database)) {}

QString TDraftStore::Path(qint64 noteId) const {
    return QDir(directory_).filePath(DraftFileName(database_, noteId));
}

std::optional<TDraft> TDraftStore::Load(qint64 noteId) const {
    QFile file(Path(noteId));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    std::optional<TDraft> draft = DecodeDraft(file.readAll());
    if (draft && draft->noteId != noteId)
        return std::nullopt;
    return draft;
}

QString TDraftStore::Save(TDraft draft) const {
    if (!DraftWorthKeeping(draft)) {
        Remove(draft.noteId);
        return {};
    }
    if (!QDir().mkpath(directory_))
        return QStringLiteral("Das Verzeichnis „%1“ kann nicht angelegt werden").arg(directory_);
    // Only this account may read what was typed.
    QFile::setPermissions(directory_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    draft.written = QDateTime::currentDateTime();
    QSaveFile file(Path(draft.noteId));
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    file.write(EncodeDraft(draft));
    if (!file.commit())
        return file.errorString();
    return {};
}

void TDraftStore::Remove(qint64 noteId) const {
    QFile::remove(Path(noteId));
}

QList<qint64> TDraftStore::NoteIds() const {
    const QString prefix = DraftFileName(database_, 1).section(QStringLiteral("-notiz-"), 0, 0) + "-notiz-";
    QList<qint64> ids;
    for (const QString& name : QDir(directory_).entryList({prefix + "*.json"}, QDir::Files)) {
        bool ok = false;
        const qint64 id = name.mid(prefix.size()).chopped(5).toLongLong(&ok);
        if (ok && id > 0)
            ids << id;
    }
    return ids;
}
