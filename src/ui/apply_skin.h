#pragma once

#include <QString>

class QWidget;

// The optional skin of the login window: "x/o.cjs" in the program folder, a
// Qt style sheet. Without it nothing changes.
void ApplySkin(QWidget& loginWindow, const QString& programFolder);

// The button-face colour of the desktop on the window, its frames and labels.
void SetSystemColours(QWidget& window);
