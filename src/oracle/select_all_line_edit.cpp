#include "oracle/select_all_line_edit.h"

#include <QFocusEvent>

void SelectAllLineEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    // The click that brought the focus would move the caret after us; its
    // press and release select the text again.
    m_selectAfterClick = event->reason() == Qt::MouseFocusReason;
    selectAll();
}

void SelectAllLineEdit::mousePressEvent(QMouseEvent* event) {
    QLineEdit::mousePressEvent(event);
    if (m_selectAfterClick) selectAll();
}

void SelectAllLineEdit::mouseReleaseEvent(QMouseEvent* event) {
    QLineEdit::mouseReleaseEvent(event);
    if (m_selectAfterClick) selectAll();
    m_selectAfterClick = false;
}
