#pragma once
// The autostart list as XDG autostart desktop files.
#include <QString>

// $XDG_CONFIG_HOME/autostart, or ~/.config/autostart when that is unset or not absolute.
QString XdgAutostartFolder();
// The entry file of a name in that folder: "<name>.desktop".
QString XdgAutostartFile(const QString& name);
