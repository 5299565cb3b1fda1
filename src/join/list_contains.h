#pragma once

#include <QString>
#include <QStringList>

// True when some entry of a list equals the text, both turned to lower case.
bool ListContains(const QStringList& entries, const QString& text);
