#pragma once

#include <QString>

// A result column's name without the "table." that the engine may put in
// front of it: the text after the first ".", or the whole name.
QString StripTablePrefix(const QString& name);
