#pragma once

#include <QString>

// The product title: caption of both windows and section of the settings store.
inline QString ProductTitle() { return QStringLiteral("Quillmere Software"); }

// Where users send screenshots of the error box.
inline QString SupportAddress() { return QStringLiteral("support@varnholt.example"); }
