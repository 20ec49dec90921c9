#include "update/ControlFile.h"

#include "update/UpdateDate.h"
#include "update/VersionRules.h"

#include <QFileInfo>
#include <QLocale>
#include <algorithm>

namespace {

void Report(const TUpdateRules& rules, int msgNo, const QString& param, int statusCode) {
    if (rules.Report)
        rules.Report(msgNo, param, statusCode, 0);
}

QDateTime ReadDateTime(const TUpdateRules& rules, const QString& date, const QString& time) {
    return ParseUpdateDate(date, time, rules.DateFormat, rules.DateSeparator, rules.TimeSeparator);
}

QString WithTrailingSeparator(const QString& dir) {
    if (dir.isEmpty() || dir.endsWith('/') || dir.endsWith('\\'))
        return dir;
    return dir + '/';
}

} // namespace

QString ExpandPath(const TUpdateRules& rules, const QString& value) {
    QString path = value;
    if (rules.ConvertPrefix)
        rules.ConvertPrefix(path);
    return ExpandPrefixes(path, rules.ResolvePrefix ? rules.ResolvePrefix : TPrefixResolver(StandardPrefix));
}

QString ConvertMessage(const QString& value) {
    QString result = value;
    result.replace(QStringLiteral("\\n"), QStringLiteral("\r"));
    return result;
}

QString ReadPath(const TIniFile& ini, const TUpdateRules& rules, const QString& section, const QString& key) {
    return ExpandPath(rules, ini.ReadString(section, key, QString()));
}

TUpdateConditions EvaluateUpdateConditions(const TIniFile& ini, const TUpdateRules& rules) {
    TUpdateConditions c;
    c.Result = ucrNoUpdate;
    c.Description = ini.ReadString(cf::SecUpdate, cf::KeyDescr, QString());

    const QString date = ini.ReadString(cf::SecUpdate, cf::KeyDate, QString());
    if (!date.isEmpty()) {
        Report(rules, 928, QString(), 3);
        c.UpdateDate = ReadDateTime(rules, date, ini.ReadString(cf::SecUpdate, cf::KeyTime, QString()));
        const QString local = ReadPath(ini, rules, cf::SecUpdate, cf::KeyLocalVersion);
        if (rules.LastCheckDate) {
            c.LocalDate = *rules.LastCheckDate;
            c.RegistryDate = true;
        } else {
            c.LocalDate = LocalFileDate(local);
        }
        if (c.LocalDate >= c.UpdateDate) {
            Report(rules, 930, QString(), 4);
        } else {
            Report(rules, 929, QLocale::system().toString(c.UpdateDate.date(), QLocale::ShortFormat), 5);
            c.Result = ucrNewDate;
        }
    }

    if (c.Result == ucrNoUpdate && !ini.ReadString(cf::SecUpdate, cf::KeyUnconditional, QString()).isEmpty())
        c.Result = ucrUnconditional;

    if (c.Result == ucrNoUpdate) {
        const QString newVersion = ini.ReadString(cf::SecUpdate, cf::KeyNewVersion, QString());
        const qint32 newSize = ini.ReadInteger(cf::SecUpdate, cf::KeyNewSize, 0);
        const QString local = ReadPath(ini, rules, cf::SecUpdate, cf::KeyLocalVersion);
        const qint32 newChecksum = ini.ReadInteger(cf::SecUpdate, cf::KeyNewChecksum, -1);
        if ((!newVersion.isEmpty() || newSize > 0 || newChecksum != -1) && !local.isEmpty()) {
            if (newChecksum != -1) {
                c.Result = ucrChecksumBased;
                Report(rules, 931, QString(), 3);
            } else if (newSize > 0) {
                c.Result = ucrSizeBased;
                Report(rules, 932, QString(), 3);
            } else {
                c.Result = ucrVersionBased;
                Report(rules, 933, QString(), 3);
            }
            c.NewVersion = newVersion;
            if (IsFileNewer(rules, newVersion, local, newChecksum, newSize, &c.NewVersion, &c.LocalVersion)) {
                Report(rules, 929, c.NewVersion, 5);
            } else {
                Report(rules, 930, QString(), 4);
                c.Result = ucrNoUpdate;
            }
        }
    }
    return c;
}

int ReadFileList(const TIniFile& ini, const TUpdateRules& rules, TFileList& list) {
    list.Clear();
    const qint32 count = ini.ReadInteger(cf::SecFiles, cf::KeyCount, 0);
    if (count <= 0)
        return 0;
    Report(rules, 943, QString(), 3);

    // One entry per file section present: a missing section would be an empty entry that no
    // rule needs, and a hostile count must not make the list outgrow the file.
    QList<qint32> numbers;
    for (const QString& name : ini.Sections()) {
        const QString lower = name.trimmed().toLower();
        if (!lower.startsWith(cf::SecFilePrefix))
            continue;
        bool ok = false;
        const qint32 n = lower.mid(cf::SecFilePrefix.size()).toInt(&ok, 10);
        // Only the name the entry is read under ("file7", not "file07" or "file+7").
        if (ok && n >= 1 && n <= count && cf::SecFilePrefix + QString::number(n) == lower)
            numbers << n;
    }
    std::sort(numbers.begin(), numbers.end());

    for (const qint32 i : numbers) {
        const QString sec = cf::SecFilePrefix + QString::number(i);
        TFileDescription d;
        d.URL = ReadPath(ini, rules, sec, cf::KeyUrl);
        d.LocalVersion = ReadPath(ini, rules, sec, cf::KeyLocalVersion);
        d.NewVersion = ini.ReadString(sec, cf::KeyNewVersion, QString());
        d.NewSize = ini.ReadInteger(sec, cf::KeyNewSize, 0);
        d.NewCheckSum = ini.ReadInteger(sec, cf::KeyNewChecksum, -1);
        d.NewCustomVer = ini.ReadString(sec, cf::KeyCustomVersion, QString());
        d.NewDate = ini.ReadString(sec, cf::KeyDate, QString());
        d.NewTime = ini.ReadString(sec, cf::KeyTime, QString());
        d.Description = ini.ReadString(sec, cf::KeyDescr, QString());
        d.TargetDir = WithTrailingSeparator(ReadPath(ini, rules, sec, cf::KeyTargetDir));
        d.Compressed = ini.ReadFlag(sec, cf::KeyCompressed);
        d.FileSize = ini.ReadInteger(sec, cf::KeyFileSize, 0);
        d.Mandatory = ini.ReadFlag(sec, cf::KeyMandatory);
        d.Hidden = ini.ReadFlag(sec, cf::KeyHidden);
        d.Sha256 = ini.ReadString(sec, cf::KeySha256, QString());
        list.Items.append(d);
    }
    return list.Count();
}

void SelectFilesToFetch(TFileList& list, const TUpdateRules& rules,
                        const std::function<void(QStringList& lines)>& onGetFileList) {
    QList<TFileDescription> kept;
    for (const TFileDescription& e : list.Items) {
        if (!e.LocalVersion.isEmpty() && !e.NewDate.isEmpty()) {
            const QDateTime newDate = ReadDateTime(rules, e.NewDate, e.NewTime);
            const QFileInfo local(e.LocalVersion);
            if (local.exists() && LocalFileDate(e.LocalVersion) >= newDate)
                continue;
        } else if (!IsFileNewer(rules, e.NewVersion, e.LocalVersion, e.NewCheckSum, e.NewSize)) {
            continue;
        }
        kept.append(e);
    }
    if (onGetFileList) {
        QStringList lines;
        for (const TFileDescription& e : kept)
            lines << e.Description;
        onGetFileList(lines);
        QList<TFileDescription> filtered;
        for (int i = 0; i < kept.size(); ++i)
            if (i < lines.size() && !lines[i].isEmpty())
                filtered.append(kept[i]);
        kept = filtered;
    }
    list.Items = kept;
    list.ActiveIndex = -1;
}
