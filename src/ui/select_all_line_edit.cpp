#include "ui/select_all_line_edit.h"

#include <QFocusEvent>

// The whole text selected with the caret at its start, so the next key typed
// replaces it and the start of a long text stays in view.
void SelectAllLineEdit::selectWholeText() {
    const int length = int(text().size());
    setSelection(length, -length);
}

void SelectAllLineEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    // The click that brought the focus would move the caret after us; its
    // press and release select the text again.
    m_selectAfterClick = event->reason() == Qt::MouseFocusReason;
    selectWholeText();
}

void SelectAllLineEdit::mousePressEvent(QMouseEvent* event) {
    QLineEdit::mousePressEvent(event);
    if (m_selectAfterClick) selectWholeText();
}

void SelectAllLineEdit::mouseReleaseEvent(QMouseEvent* event) {
    QLineEdit::mouseReleaseEvent(event);
    if (m_selectAfterClick) selectWholeText();
    m_selectAfterClick = false;
}
