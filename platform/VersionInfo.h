#pragma once
// Version resources of files: the ".zwversion" block that zw_embed_version() puts into an ELF file.
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <cstdint>
#include <optional>

struct TFixedVersion {
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint16_t release = 0;
    std::uint16_t build = 0;
    QString Text() const; // "1.0.0.0"
    bool operator==(const TFixedVersion&) const = default;
};

struct TTranslation {
    std::uint16_t language = 0;
    std::uint16_t codePage = 0;
    QString Key() const; // language and code page as four upper-case hex digits each: "040704E4"
    bool operator==(const TTranslation&) const = default;
};

struct TVersionResource {
    TFixedVersion fileVersion;
    TFixedVersion productVersion;
    QList<TTranslation> translations; // "\VarFileInfo\Translation", in block order

    // Looks a value up by path, letter case ignored, the leading "\" optional:
    // "\StringFileInfo\040704E4\ProductVersion", "\VarFileInfo\Translation" (keys joined by a
    // blank). Missing: empty text, and Contains() is false.
    QString Value(const QString& path) const;
    bool Contains(const QString& path) const;

    QMap<QString, QString> values; // normalised path -> value
};

// Reads the version block of any ELF file (32 or 64 bit, either byte order).
// No such file, no ELF, no block or a damaged block: nullopt. Never throws.
std::optional<TVersionResource> ReadVersionResource(const QString& file);

// The version resource of the running executable.
std::optional<TVersionResource> ReadOwnVersionResource();

// Parses the text of a block (as stored in the section, NUL end optional).
std::optional<TVersionResource> ParseVersionBlock(const QByteArray& block);

// Finds the contents of a named section in an ELF image; nullopt when absent or damaged.
std::optional<QByteArray> ElfSectionContents(const QString& file, const QByteArray& sectionName);

inline constexpr char kVersionSectionName[] = ".zwversion";
