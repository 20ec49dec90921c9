#pragma once
// A fresh copy of the delivered notizen.gdb in a temporary directory, removed afterwards.
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <stdexcept>

class TTempDatabase {
public:
    TTempDatabase() {
        if (!dir_.isValid())
            throw std::runtime_error("no temporary directory");
        const QString source = DeliveredDatabase();
        if (!QFile::copy(source, File()))
            throw std::runtime_error(("cannot copy " + source).toStdString());
        QFile::setPermissions(File(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    // Directory with trailing separator, as the data module wants it.
    QString Directory() const { return dir_.path() + "/"; }
    QString File() const { return Directory() + "notizen.gdb"; }

    static QString DeliveredDatabase() {
        const QString bin = qEnvironmentVariable("ZW_BIN_DIR");
        return (bin.isEmpty() ? QDir::currentPath() : bin) + "/notizen.gdb";
    }

private:
    QTemporaryDir dir_;
};
