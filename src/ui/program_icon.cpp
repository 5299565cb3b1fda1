#include "ui/program_icon.h"

// The icon lives in a static library's resources, which are registered only
// when asked for.
static void registerResources() { Q_INIT_RESOURCE(resources); }

QIcon ProgramIcon() {
    static const bool registered = (registerResources(), true);
    Q_UNUSED(registered);
    return QIcon(QStringLiteral(":/quillmere/icon.svg"));
}
