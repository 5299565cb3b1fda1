#pragma once

#include <QIcon>

// The program's icon, shared by both windows.
QIcon ProgramIcon();
