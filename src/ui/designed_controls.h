#pragma once

#include <QFont>
#include <QRect>
#include <QString>

class QGroupBox;
class QLabel;
class QPushButton;
class QWidget;

// The controls both windows are built from, each at its designed place and
// named with its internal name, so the error box and screen readers can tell
// them apart.

// Arial bold 9 point: frames, labels, lists and fields.
QFont ControlFont();
// Arial bold 11.25 point: push buttons.
QFont ButtonFont();

QGroupBox* DesignedFrame(QWidget* parent, const char* name, const QString& caption,
                         const QRect& geometry);
QPushButton* DesignedButton(QWidget* parent, const char* name, const QString& caption,
                            const QRect& geometry);
QLabel* DesignedLabel(QWidget* parent, const char* name, const QString& caption);

// A field or list is known to screen readers by its label's text, without a
// trailing colon; the label also moves the focus to it.
void NameAfterLabel(QWidget* control, QLabel* label);
