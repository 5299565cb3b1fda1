#pragma once

#include <QString>

// The user's folder that an XDG variable names (XDG_DATA_HOME, XDG_STATE_HOME):
// the variable's value when it is an absolute path, or else the default folder
// below HOME (".local/share", ".local/state"). A relative value is ignored, as
// the XDG rule says. Throws Failure when HOME is needed and is not an absolute
// path: a folder built from it would sit at the root or below the current one.
QString XdgUserFolder(const char* variable, const QString& belowHome);
