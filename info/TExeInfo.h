#pragma once
// Texts of a program's version resource, read once when the object is made.
// Header-only, so every window that shows version texts can keep its own instance.
#include "platform/VersionInfo.h"

#include <QObject>
#include <QString>
#include <array>

class TExeInfo : public QObject {
public:
    // file empty: the running executable.
    explicit TExeInfo(QObject* parent = nullptr, const QString& file = {})
        : TExeInfo(file.isEmpty() ? ReadOwnVersionResource() : ReadVersionResource(file), parent) {}

    // From a resource already read; nullopt: no resource.
    TExeInfo(const std::optional<TVersionResource>& resource, QObject* parent) : QObject(parent) {
        setObjectName(QStringLiteral("ExeInfo"));
        const QString unread = QStringLiteral("Updated at run-time");
        for (QString* text : texts())
            *text = unread;
        if (!resource)
            return;
        // The first translation names the string table; without one no string is found.
        const QString key = resource->translations.isEmpty() ? QString() : resource->translations[0].Key();
        const char* names[] = {"CompanyName",    "FileDescription", "FileVersion",      "InternalName",
                               "LegalCopyright", "LegalTradeMarks", "OriginalFileName", "ProductName",
                               "ProductVersion", "Comments"};
        int i = 0;
        for (QString* text : texts()) {
            const QString path =
                QStringLiteral("\\StringFileInfo\\%1\\%2").arg(key, QLatin1String(names[i++]));
            *text = key.isEmpty() ? QString() : resource->Value(path);
        }
    }

    QString CompanyName() const { return companyName_; }
    QString FileDescription() const { return fileDescription_; }
    QString FileVersion() const { return fileVersion_; }
    QString InternalName() const { return internalName_; }
    QString LegalCopyright() const { return legalCopyright_; }
    QString LegalTradeMark() const { return legalTradeMark_; }
    QString OriginalFileName() const { return originalFileName_; }
    QString ProductName() const { return productName_; }
    QString ProductVersion() const { return productVersion_; }
    QString Comments() const { return comments_; }

private:
    std::array<QString*, 10> texts() {
        return {&companyName_,    &fileDescription_,  &fileVersion_, &internalName_,   &legalCopyright_,
                &legalTradeMark_, &originalFileName_, &productName_, &productVersion_, &comments_};
    }

    QString companyName_, fileDescription_, fileVersion_, internalName_, legalCopyright_, legalTradeMark_,
        originalFileName_, productName_, productVersion_, comments_;
};
