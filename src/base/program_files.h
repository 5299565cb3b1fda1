#pragma once

#include <QString>

// Where the program finds the files it reads or writes by a fixed name. A
// program run from its build folder has them beside itself; an installed one
// sits in a "bin" folder with its data in "../share/quillmere".

// True when the program folder is a "bin" folder with "../share/quillmere"
// beside it. Decided anew from the folder at every call.
bool ProgramInstalled(const QString& programFolder);

// The data folder of an installed program: "../share/quillmere" beside the
// program folder.
QString SharedDataFolder(const QString& programFolder);

// The named file in the program folder when it is there; otherwise in the
// shared data folder when it is there; otherwise (missing in both) the path
// in the program folder.
QString ProgramFilePath(const QString& programFolder, const QString& name);

// The windows' hand pointer, HAND-M.CUR, found as ProgramFilePath finds it:
// both windows load it from here.
QString HandPointerFile(const QString& programFolder);
