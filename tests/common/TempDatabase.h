#pragma once
// A fresh copy of the delivered notizen.gdb in a temporary directory, removed afterwards.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <stdexcept>

class TTempDatabase {
public:
    // The schema the database starts with: the delivered file, or the first release's file as a
    // user may still have it (store/schema.sql alone).
    enum class TSchema { Delivered, FirstRelease };

    explicit TTempDatabase(TSchema schema = TSchema::Delivered) {
        if (!dir_.isValid())
            throw std::runtime_error("no temporary directory");
        if (schema == TSchema::FirstRelease) {
            CreateFirstRelease(File());
            return;
        }
        const QString source = DeliveredDatabase();
        if (!QFile::copy(source, File()))
            throw std::runtime_error(("cannot copy " + source).toStdString());
        QFile::setPermissions(File(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    // A database file of the first release's schema, made with isql-fb as that build made it.
    static void CreateFirstRelease(const QString& file) {
        QFile schema(qEnvironmentVariable("ZW_SOURCE_DIR") + "/store/schema.sql");
        if (!schema.open(QIODevice::ReadOnly))
            throw std::runtime_error("store/schema.sql not found (ZW_SOURCE_DIR)");
        QProcess isql;
        isql.setProcessChannelMode(QProcess::MergedChannels);
        isql.start("isql-fb", {"-q", "-bail"});
        isql.write(("SET SQL DIALECT 3;\nCREATE DATABASE '" + file +
                    "' USER 'sysdba' PASSWORD 'lanternix' PAGE_SIZE 4096 DEFAULT CHARACTER SET UTF8;\n")
                       .toUtf8() +
                   schema.readAll());
        isql.closeWriteChannel();
        if (!isql.waitForFinished(60000) || isql.exitCode() != 0 || !QFile::exists(file))
            throw std::runtime_error(
                ("isql-fb could not create " + file + ": " + isql.readAll()).toStdString());
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
