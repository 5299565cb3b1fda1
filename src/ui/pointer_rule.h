#pragma once

#include <QList>
#include <QObject>

class QWidget;
class WindowPointer;

// The pointer as it moves over a window: over the given buttons the window
// takes its own image (99), also on a move over a button the pointer already
// rested on; over its background and the given elements the arrow (0);
// anything else leaves the state as it is. The hourglass of a running
// operation is never cleared by moving the pointer.
class PointerRule final : public QObject {
public:
    PointerRule(QWidget& window, WindowPointer& pointer, const QList<QWidget*>& ownImageElements,
                const QList<QWidget*>& arrowElements);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    WindowPointer& m_pointer;
    QList<QObject*> m_ownImage;
    QList<QObject*> m_arrow;
};
