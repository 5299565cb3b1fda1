#pragma once

#include <QString>

// "in Brisvane2018/12/22.<window>.<handler> ": where a trapped handler runs.
QString LocationText(const QString& window, const QString& handler);

// The text of the error box, exactly as users send it to support.
QString ErrorMessage(const QString& description, const QString& location, int line);
