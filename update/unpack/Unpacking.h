#pragma once
// Unpacking of downloaded files: cabinet files and LZ-compressed (SZDD) files, and directory
// creation. Depends on QtCore and libmspack only, so the updater uses it too.
#include <QString>

// Unpacks every file of the cabinet into targetDir (empty: the current directory), creating the
// subdirectories named by the entries, and sets each file's time from its entry.
// 0 on success, -1 on failure. An entry whose path would leave targetDir (absolute, "..") makes
// the whole cabinet fail before anything is written.
int ExtractCabinet(const QString& cabinetPath, const QString& targetDir);

// Expands an SZDD file into the same directory under its expanded name (the stored last
// character restored, "upd.ex_" -> "upd.exe") and deletes the compressed file.
// False (and both files left as they were) when the file is no SZDD file or cannot be expanded.
bool LzExpandFile(const QString& compressedPath);

// The expanded name of an SZDD file (same directory); empty when it is no SZDD file.
QString LzExpandedName(const QString& compressedPath);

// Creates a directory with all missing parents; a trailing separator is ignored.
// True when the directory exists afterwards.
bool MakeDirectoryPath(const QString& directory);
