#include "shell/program_icon.h"

QIcon ProgramIcon() { return QIcon(QStringLiteral(":/quillmere/icon.svg")); }
