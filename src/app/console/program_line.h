#pragma once

#include <QString>

// A line the command says on standard error of its own accord: the program's
// name first, as command-line tools do ("quillmere: no SID: ...").
QString ProgramLine(const QString& text);
