#pragma once
// The updater program carried inside the executable as the resource "UPD" (SZDD-compressed,
// expanding to "upd.exe"). Linked in by the target zw_upd_resource.
#include <QByteArray>

// The resource's bytes; empty when the executable carries none.
QByteArray UpdaterResource();
