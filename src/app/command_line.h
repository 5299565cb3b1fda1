#pragma once

#include <QStringList>
#include <optional>

class QTextStream;

// --help and --version, read before any window system is touched, so both
// work without a display. Every other argument (Qt's own -platform, -style
// and the rest) is left for QApplication.
//
// Returns the exit code when the program has answered and must end, having
// written the answer to out; no value when the program goes on to its window.
std::optional<int> AnswerCommandLine(const QStringList& arguments, QTextStream& out);
