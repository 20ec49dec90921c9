#pragma once
// Desktop-entry files: the Exec value for one program path, and back.
#include <QString>

// The program path as an Exec value: quoted when it holds a reserved character, "%" doubled,
// and the value escapes of the file format applied ("\\", "\n", "\t", "\r").
QString DesktopExecValue(const QString& programPath);

// The program path of an Exec value (its first argument); inverse of DesktopExecValue.
QString DesktopExecProgram(const QString& execValue);

// The text of an autostart entry that starts the program.
QString AutostartDesktopFile(const QString& name, const QString& programPath);

// The raw value of a key in the "[Desktop Entry]" group; empty when absent.
QString DesktopEntryValue(const QString& fileText, const QString& key);
