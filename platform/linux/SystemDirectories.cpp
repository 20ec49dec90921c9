#include "platform/SystemDirectories.h"

QString WindowsDirectory() {
    return QStringLiteral("/usr");
}
QString SystemDirectory() {
    return QStringLiteral("/usr/lib");
}
QString ProgramFilesDirectory() {
    return QStringLiteral("/opt");
}
