#include "ui/widget_pointer.h"

#include <QApplication>
#include <QWidget>

WidgetPointer::~WidgetPointer() {
    if (m_state == PointerState::Hourglass) QApplication::restoreOverrideCursor();
}

void WidgetPointer::setPointerState(PointerState state) {
    if (state == m_state) return;
    if (m_state == PointerState::Hourglass) QApplication::restoreOverrideCursor();
    m_state = state;
    switch (state) {
        case PointerState::Hourglass:
            QApplication::setOverrideCursor(Qt::WaitCursor);
            break;
        case PointerState::Custom:
            if (m_image)
                m_window.setCursor(*m_image);
            else
                m_window.unsetCursor();
            break;
        case PointerState::Default:
            m_window.unsetCursor();
            break;
    }
}
