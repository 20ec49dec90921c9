#pragma once
// INI text files as the platform reads them: "[section]" lines and "key=value" lines, section and
// key names compared without regard to case, blanks around names and values removed, a value at
// most 2047 characters long. The first of two equal sections or keys counts.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class TIniFile {
public:
    static constexpr int MaxValueLength = 2047;

    TIniFile() = default;
    // Reads the file; a missing or unreadable file reads as an empty one (every key at its default).
    explicit TIniFile(const QString& fileName);

    // Reads the file; false when it cannot be opened (the contents are then empty).
    bool Load(const QString& fileName);
    // Reads INI text from memory.
    static TIniFile FromBytes(const QByteArray& bytes);

    QString FileName() const { return FFileName; }

    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    // Decimal, or hexadecimal with a leading "0x" or "$"; anything else, or a number beyond the
    // signed 32-bit range, reads as def.
    qint32 ReadInteger(const QString& section, const QString& key, qint32 def) const;
    // A flag counts as set only when its integer value is 1.
    bool ReadFlag(const QString& section, const QString& key, bool def = false) const;

    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;
    QStringList Sections() const; // in file order, as written

private:
    struct TSection {
        QString Name;
        QHash<QString, QString> Values; // lower-case key -> value
    };
    void Parse(const QByteArray& bytes);
    const QString* Find(const QString& section, const QString& key) const;

    QString FFileName;
    QList<TSection> FSections;
    QHash<QString, int> FIndex; // lower-case section name -> index in FSections
};

// Integer text as the INI rules read it; false when it is not a number in the 32-bit range.
bool ParseIniInteger(const QString& text, qint32& value);
