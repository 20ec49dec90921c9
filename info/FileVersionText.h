#pragma once
// The fixed file version of a file as "a.b.c.d", or "NoVersionInfo".
#include <QString>

// The file is found as the system's library search finds a bare name (the program's directory
// first). Without a version block, a shared library gives the version its file name carries
// (libfbclient.so.3.0.11 -> 3.0.11.0).
QString GetFileVersionText(const QString& file);

inline constexpr char kNoVersionInfo[] = "NoVersionInfo";

// "3.0.11" -> "3.0.11.0"; parts beyond four are dropped; empty when not dotted numbers.
QString FourPartVersion(const QString& dotted);
// The version in a shared library's file name after ".so.", as four parts; empty when none.
QString VersionFromLibraryFileName(const QString& fileName);
// Full path of a file as the library search finds it; empty when not found.
QString FindLibraryFile(const QString& name);
