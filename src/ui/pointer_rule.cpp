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
    for (QObject* element : m_ownImage) element->installEventFilter(this);
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
    // back from a child to its parent; moves inside an element change nothing.
    if (event->type() != QEvent::Enter) return false;
    if (m_pointer.pointerState() == PointerState::Hourglass) return false;
    if (m_ownImage.contains(watched))
        m_pointer.setPointerState(PointerState::Custom);
    else if (m_arrow.contains(watched))
        m_pointer.setPointerState(PointerState::Default);
    return false;
}
