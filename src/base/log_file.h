#pragma once

#include <QString>
#include <QtGlobal>

// The diagnostics log: one message handler for every logging category, so
// QT_LOGGING_RULES decides what reaches it as in any Qt program. Each message
// is one line (more when its text has line breaks) with the time, the level
// and the category. The file is its owner's alone (mode 0600); past
// LogRotateBytes it becomes "<name>.1", replacing an older one, and a new file
// is begun. When stderr is a terminal the lines go there too, unless the
// caller keeps its stderr for a report of its own; critical and fatal ones go
// to stderr always.

constexpr qint64 LogRotateBytes = 1024 * 1024;

// $XDG_STATE_HOME/quillmere/quillmere.log, or ~/.local/state/quillmere/
// quillmere.log when XDG_STATE_HOME is not an absolute path. Empty when HOME
// is needed and is not an absolute path either.
QString LogFilePath();

// Why LogFilePath() is empty, in words for the user.
QString NoLogFilePath();

// The path of the file the messages go to; empty when none is installed or it
// could not be opened.
QString OpenLogFilePath();

enum class LogMirror { ToTerminal, None };

// Sends every message from now on to the file at path, and to stderr when it
// is a terminal unless told otherwise (a command whose stderr carries its own
// report). Only a regular file of the user's own is written, never through a
// symbolic link at the file or its folder; a file that cannot be opened, or an
// empty path, loses the messages, never the program. A warning says so, and
// the same words are returned (empty when the file is open), for a caller
// whose stderr the warning does not reach.
QString InstallLogFile(const QString& path = LogFilePath(),
                       LogMirror mirror = LogMirror::ToTerminal);

// Back to the handler that was there before; the file is closed. Done by
// itself when the program's statics are destroyed.
void UninstallLogFile();
