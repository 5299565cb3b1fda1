#include "db/value_or_default.h"

QString ValueOrDefault(const db::Value& value, const QString& defaultValue) {
    return value.value_or(defaultValue);
}
