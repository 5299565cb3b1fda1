#include "ui/designed_controls.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace {
QFont arialBold(qreal points) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}
}  // namespace

QFont ControlFont() { return arialBold(9); }
QFont ButtonFont() { return arialBold(11.25); }

QGroupBox* DesignedFrame(QWidget* parent, const char* name, const QString& caption,
                         const QRect& geometry) {
    auto* frame = new QGroupBox(caption, parent);
    frame->setObjectName(QString::fromLatin1(name));
    frame->setFont(ControlFont());
    frame->setGeometry(geometry);
    return frame;
}

QPushButton* DesignedButton(QWidget* parent, const char* name, const QString& caption,
                            const QRect& geometry) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setFont(ButtonFont());
    button->setGeometry(geometry);
    button->setAccessibleName(caption);
    button->setAutoDefault(false);
    return button;
}

QLabel* DesignedLabel(QWidget* parent, const char* name, const QString& caption) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(ControlFont());
    return label;
}

void NameAfterLabel(QWidget* control, QLabel* label) {
    QString name = label->text();
    if (name.endsWith(QLatin1Char(':'))) name.chop(1);
    control->setAccessibleName(name);
    label->setBuddy(control);
}
