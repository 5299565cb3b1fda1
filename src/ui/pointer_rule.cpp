#include "ui/pointer_rule.h"

#include <QEvent>
#include <QWidget>

#include "base/pointer_state.h"

PointerRule::PointerRule(QWidget& window, WindowPointer& pointer,
                         const QList<QWidget*>& ownImageElements,
                         const QList<QWidget*>& arrowElements)
    : QObject(&window), m_pointer(pointer) {
    m_arrow << &window;
    for (QWidget* element : arrowElements) m_arrow << element;
    for (QWidget* element : ownImageElements) m_ownImage << element;
    for (QObject* element : m_arrow) element->installEventFilter(this);
    // A button asks for hover moves: the hand must come back when the
    // pointer moves on a button it rested on while the hourglass ended.
    for (QWidget* element : ownImageElements) {
        element->setAttribute(Qt::WA_Hover);
        element->installEventFilter(this);
    }
    // A list's rows are drawn by its viewport, which gets the pointer's events.
    for (QWidget* element : arrowElements)
        for (QWidget* child : element->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (child->objectName() == QStringLiteral("qt_scrollarea_viewport")) {
                m_arrow << child;
                child->installEventFilter(this);
            }
}

bool PointerRule::eventFilter(QObject* watched, QEvent* event) {
    // Enter comes whenever the pointer reaches an element, also when it comes
    // back from a child to its parent. Moves count on buttons only: a hover
    // move also travels up to the parents, which would take the hand away
    // again, and over the other elements the state after an hourglass is
    // already the arrow.
    const bool entered = event->type() == QEvent::Enter;
    const bool movedOnButton = event->type() == QEvent::HoverMove && m_ownImage.contains(watched);
    if (!entered && !movedOnButton) return false;
    if (m_pointer.pointerState() == PointerState::Hourglass) return false;
    if (m_ownImage.contains(watched))
        m_pointer.setPointerState(PointerState::Custom);
    else if (m_arrow.contains(watched))
        m_pointer.setPointerState(PointerState::Default);
    return false;
}
