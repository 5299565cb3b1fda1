#pragma once

#include <QStringList>

// `quillmere join TABLE1 FIELD1 TABLE2 FIELD2 NEWTABLE [options]`: one join
// run, the window's own, from a script; needs no display. Returns the exit
// code (see exit_codes.h). The arguments start with the program's name.
int RunJoinCommand(const QStringList& arguments);
