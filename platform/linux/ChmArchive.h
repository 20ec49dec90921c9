#pragma once
// Read access to a compiled HTML help file (CHM): its files, the context-number map, the
// contents file and the default topic. Reads the whole file into memory and decompresses with
// libmspack.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class TChmArchive {
public:
    TChmArchive();
    ~TChmArchive();
    TChmArchive(const TChmArchive&) = delete;
    TChmArchive& operator=(const TChmArchive&) = delete;

    // False for a missing, unreadable, oversized or damaged file; the archive is then empty.
    bool Open(const QString& fileName);
    bool IsOpen() const;
    QString FileName() const { return fileName_; }

    QStringList FileNames() const; // "/name.htm", system files of the help itself included
    // The contents of one file; nullopt when there is no such file or it cannot be read.
    // The leading "/" is optional, letter case is ignored.
    std::optional<QByteArray> Read(const QString& name) const;

    // Topic file mapped to a context number, "/name.htm"; empty when the number is unknown.
    QString TopicOfContext(int context) const;
    QHash<int, QString> ContextMap() const { return contexts_; }

    QString Title() const { return title_; }
    QString DefaultTopic() const { return defaultTopic_; } // "/name.htm" or empty
    QString ContentsFile() const { return contentsFile_; } // "/name.hhc" or empty

    static constexpr qint64 kMaxFileSize = 256LL * 1024 * 1024;

private:
    void ReadSystemFile();
    void ReadContextMap();
    QString ResolveName(const QString& reference) const; // file name of a reference in the help

    struct Impl;
    std::unique_ptr<Impl> d_;
    QString fileName_;
    QHash<int, QString> contexts_;
    QString title_;
    QString defaultTopic_;
    QString contentsFile_;
};

// One entry of the table of contents.
struct TChmContentsEntry {
    QString name;
    QString local; // file in the help, may carry "#anchor"; empty for a heading
    QList<TChmContentsEntry> children;
};

// Reads a contents file (sitemap HTML) into a tree.
QList<TChmContentsEntry> ParseChmContents(const QString& sitemapHtml);
