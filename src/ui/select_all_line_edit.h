#pragma once

#include <QLineEdit>

// A field that selects its whole text whenever it gets the focus: by Tab, by
// a click, or when its window is shown; the next key typed replaces the text.
class SelectAllLineEdit final : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void selectWholeText();

    bool m_selectAfterClick = false;
};
