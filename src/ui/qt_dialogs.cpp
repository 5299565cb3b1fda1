#include "ui/qt_dialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

#include "base/app_title.h"

namespace {

QString captionOrTitle(const QString& caption) { return caption.isEmpty() ? AppTitle() : caption; }

// Messages keep CR LF and lone CRs; a box shows each of them as a line break.
QString shownText(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QWidget* owner() { return QApplication::activeWindow(); }

// The hourglass of a busy window covers the whole application; a box that
// opens meanwhile asks the user to act, so it shows the arrow while it is
// open and the hourglass is back once it closes. With nothing busy the box
// keeps its own pointers, the text field's I-beam among them.
class ArrowWhileOpen final {
public:
    ArrowWhileOpen() : m_pushed(QApplication::overrideCursor() != nullptr) {
        if (m_pushed) QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~ArrowWhileOpen() {
        if (m_pushed) QApplication::restoreOverrideCursor();
    }
    ArrowWhileOpen(const ArrowWhileOpen&) = delete;
    ArrowWhileOpen& operator=(const ArrowWhileOpen&) = delete;

private:
    bool m_pushed;
};

QMessageBox::Icon boxIcon(Dialogs::Icon icon) {
    switch (icon) {
        case Dialogs::Icon::Warning:
            return QMessageBox::Warning;
        case Dialogs::Icon::Information:
            return QMessageBox::Information;
        case Dialogs::Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void QtDialogs::message(const QString& text, const QString& caption, Icon icon,
                        const QString& details) {
    QMessageBox box(boxIcon(icon), captionOrTitle(caption), shownText(text), QMessageBox::Ok,
                    owner());
    box.setTextFormat(Qt::PlainText);
    // Behind the box's "Show Details..." button; the text above stays as it was.
    if (!details.isEmpty()) box.setDetailedText(shownText(details));
    const ArrowWhileOpen arrow;
    box.exec();
}

bool QtDialogs::askYesNo(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, captionOrTitle(caption), shownText(text),
                    QMessageBox::Yes | QMessageBox::No, owner());
    box.setTextFormat(Qt::PlainText);
    const ArrowWhileOpen arrow;
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtDialogs::prompt(const QString& text, const QString& caption,
                                         const QString& defaultAnswer) {
    QInputDialog dialog(owner());
    dialog.setWindowTitle(captionOrTitle(caption));
    dialog.setLabelText(shownText(text));
    dialog.setTextValue(defaultAnswer);
    dialog.setInputMode(QInputDialog::TextInput);
    const ArrowWhileOpen arrow;
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue();
}
