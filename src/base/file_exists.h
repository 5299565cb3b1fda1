#pragma once

#include <QString>

// True when the path names an existing file; never raises.
bool FileExists(const QString& path) noexcept;
