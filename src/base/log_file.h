#pragma once

#include <QString>
#include <QtGlobal>

// The diagnostics log: one message handler for every logging category, so
// QT_LOGGING_RULES decides what reaches it as in any Qt program. Each message
// is one line (more when its text has line breaks) with the time, the level
// and the category. The file is its owner's alone (mode 0600); past
// LogRotateBytes it becomes "<name>.1", replacing an older one, and a new file
// is begun. When stderr is a terminal the lines go there too, unless the
// caller keeps its stderr for a report of its own.

constexpr qint64 LogRotateBytes = 1024 * 1024;

// $XDG_STATE_HOME/quillmere/quillmere.log, or ~/.local/state/quillmere/
// quillmere.log when XDG_STATE_HOME is unset or empty.
QString LogFilePath();

enum class LogMirror { ToTerminal, None };

// Sends every message from now on to the file at path, and to stderr when it
// is a terminal unless told otherwise (a command whose stderr carries its own
// report). A file that cannot be opened loses the messages, never the program.
void InstallLogFile(const QString& path = LogFilePath(), LogMirror mirror = LogMirror::ToTerminal);

// Back to Qt's own handler; the file is closed.
void UninstallLogFile();
