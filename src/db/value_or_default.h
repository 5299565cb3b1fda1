#pragma once

#include <QString>

#include "db/connection.h"

// The default when the database holds no value, else the value's own text.
QString ValueOrDefault(const db::Value& value, const QString& defaultValue);
