#pragma once

#include <QString>
#include <QStringList>

// True when some element equals the text, both turned to lower case.
bool ArrayContains(const QStringList& elements, const QString& text);
