#include "app/console/program_line.h"

#include <QCoreApplication>

QString ProgramLine(const QString& text) {
    return QCoreApplication::applicationName() + QStringLiteral(": ") + text;
}
