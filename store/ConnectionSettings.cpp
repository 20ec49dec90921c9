#include "store/ConnectionSettings.h"

#include "store/fb/FbConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString Octal(unsigned mode) {
    return QStringLiteral("%1").arg(mode & 0777, 4, 8, QLatin1Char('0'));
}

} // namespace

TSettingsFile ParseSettingsFile(const QString& text, const QString& fileName) {
    TSettingsFile file;
    const QStringList lines = text.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u'#') || trimmed.startsWith(u';'))
            continue;
        const qsizetype eq = trimmed.indexOf(u'=');
        const QString key = eq < 0 ? QString() : trimmed.left(eq).trimmed().toLower();
        const QString value = eq < 0 ? QString() : trimmed.mid(eq + 1).trimmed();
        if (key == QLatin1String("database"))
            file.database = value;
        else if (key == QLatin1String("user"))
            file.user = value;
        else if (key == QLatin1String("password"))
            file.password = value; // as written: a password may hold any character but blanks at its ends
        else
            file.errors << QStringLiteral("Zeile %1 der Einstellungsdatei %2 ist nicht lesbar: „%3“.\n"
                                          "Erlaubt sind database=, user= und password=.")
                               .arg(i + 1)
                               .arg(fileName, trimmed);
    }
    return file;
}

QString SettingsFileRefusal(const TSettingsFileFacts& facts, const QString& fileName, bool holdsPassword) {
    if (!facts.exists)
        return {};
    const QString fix = QStringLiteral("\nAbhilfe: chmod 600 %1").arg(fileName);
    if (!facts.regular)
        return QStringLiteral("Die Einstellungsdatei %1 ist keine gewöhnliche Datei.").arg(fileName);
    if (facts.owner != facts.user)
        return QStringLiteral("Die Einstellungsdatei %1 gehört nicht Ihnen; Zettelwerk nimmt ihre "
                              "Verbindungsdaten nicht an.")
            .arg(fileName);
    if (facts.mode & (S_IWGRP | S_IWOTH))
        return QStringLiteral("Die Einstellungsdatei %1 kann von anderen geändert werden (Modus %2); "
                              "Zettelwerk nimmt ihre Verbindungsdaten nicht an.")
                   .arg(fileName, Octal(facts.mode)) +
               fix;
    if (holdsPassword && (facts.mode & (S_IRGRP | S_IROTH)))
        return QStringLiteral("Die Einstellungsdatei %1 enthält ein Kennwort und kann von anderen gelesen "
                              "werden (Modus %2); Zettelwerk nimmt sie nicht an.")
                   .arg(fileName, Octal(facts.mode)) +
               fix;
    return {};
}

TConnectionChoice ChooseConnection(const QString& databaseVariable, const std::optional<TSettingsFile>& file,
                                   const QString& refusal) {
    TConnectionChoice choice;
    if (!refusal.isEmpty()) {
        choice.error = refusal;
        return choice;
    }
    if (file && !file->errors.isEmpty()) {
        choice.error = file->errors.join(u'\n');
        return choice;
    }
    const QString variable = databaseVariable.trimmed();
    if (!variable.isEmpty()) {
        choice.source = TConnectionSource::Environment;
        choice.database = variable;
    } else if (file && !file->database.isEmpty()) {
        choice.source = TConnectionSource::SettingsFile;
        choice.database = file->database;
    } else {
        return choice; // the embedded file with the delivered account
    }
    if (file && file->user)
        choice.credentials.user = *file->user;
    if (file && file->password)
        choice.credentials.password = *file->password;
    return choice;
}

QString SettingsFilePath(const QString& xdgConfigHome, const QString& home) {
    const QString base =
        QDir::isAbsolutePath(xdgConfigHome) ? xdgConfigHome : home + QStringLiteral("/.config");
    return QDir::cleanPath(base + QStringLiteral("/zettelwerk/") + kSettingsFileName);
}

QString SettingsFileTemplate() {
    return QStringLiteral(
        "# Zettelwerk: Verbindung zur Notizdatenbank.\n"
        "# Ohne database= öffnet Zettelwerk die Datei notizen.gdb neben dem Programm\n"
        "# (installiert: ~/.local/share/zettelwerk/notizen.gdb) mit der eingebauten Engine.\n"
        "# Ein Firebird-Server wird so angegeben (Rechner, wahlweise /Port, dann Pfad oder Alias):\n"
        "#   database=notizserver:/var/lib/firebird/3.0/data/notizen.gdb\n"
        "#   database=notizserver/3051:notizen\n"
        "# Benutzer und Kennwort auf dem Server (Vorgabe: sysdba / lanternix).\n"
        "# Steht hier ein Kennwort, darf nur der Besitzer die Datei lesen (chmod 600).\n"
        "#   user=sysdba\n"
        "#   password=geheim\n"
        "# ZETTELWERK_DATABASE in der Umgebung gilt für einen Lauf vor database=.\n");
}

namespace {

TSettingsFileFacts FactsOf(const QString& path) {
    TSettingsFileFacts facts;
    facts.user = ::getuid();
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return facts;
    facts.exists = true;
    facts.regular = S_ISREG(st.st_mode);
    facts.mode = st.st_mode & 07777;
    facts.owner = st.st_uid;
    return facts;
}

// Writes the template with mode 0600 from its creation on; an existing file is never touched.
void WriteTemplate(const QString& path) {
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(dir))
        return;
    ::chmod(QFile::encodeName(dir).constData(), 0700);
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const QByteArray text = SettingsFileTemplate().toUtf8();
    const bool written = ::write(fd, text.constData(), static_cast<size_t>(text.size())) == text.size();
    ::close(fd);
    if (!written)
        ::unlink(name.constData());
}

} // namespace

TConnectionChoice LoadConnectionSettings() {
    const QString path = SettingsFilePath(qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath());
    const TSettingsFileFacts facts = FactsOf(path);
    if (!facts.exists) {
        WriteTemplate(path);
        return ChooseConnection(qEnvironmentVariable(kDatabaseVariable.toLatin1().constData()), std::nullopt,
                                {});
    }
    std::optional<TSettingsFile> file;
    QString refusal;
    QFile in(path);
    if (facts.regular && in.open(QIODevice::ReadOnly)) {
        file = ParseSettingsFile(QString::fromUtf8(in.readAll()), path);
    } else if (facts.regular) {
        refusal = QStringLiteral("Die Einstellungsdatei %1 kann nicht gelesen werden: %2.")
                      .arg(path, in.errorString());
    }
    if (refusal.isEmpty())
        refusal = SettingsFileRefusal(facts, path, file && file->password.has_value());
    return ChooseConnection(qEnvironmentVariable(kDatabaseVariable.toLatin1().constData()), file, refusal);
}

bool IsServerConnection(const QString& database) {
    return fb::ParseConnectionText(QFile::encodeName(database).toStdString()).Remote();
}
