#pragma once

#include <QCursor>
#include <QString>

// Loads a Windows cursor file as a pointer image, with the hotspot the file
// gives; throws a Failure when the file is not a loadable cursor.
QCursor LoadPointerImage(const QString& path);
