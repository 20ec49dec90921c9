#include "app/FirstStartRecord.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

TFirstStartRecord::TFirstStartRecord(const QString& directory, const QString& connection,
                                     const QString& prefix)
    : connection_(connection) {
    const QByteArray hash = QCryptographicHash::hash(connection.toUtf8(), QCryptographicHash::Sha256).toHex();
    path_ = QDir(directory).filePath(prefix + QString::fromLatin1(hash.left(16)));
}

bool TFirstStartRecord::Answered() const {
    return QFileInfo(path_).isFile();
}

QString TFirstStartRecord::MarkAnswered() const {
    QSaveFile file(path_);
    // The connection text, so that a person looking at the directory knows what it is for.
    if (!file.open(QIODevice::WriteOnly) || file.write(connection_.toUtf8() + '\n') < 0 || !file.commit())
        return file.errorString();
    return {};
}
