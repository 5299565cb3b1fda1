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

void QtDialogs::message(const QString& text, const QString& caption, Icon icon) {
    QMessageBox box(boxIcon(icon), captionOrTitle(caption), shownText(text), QMessageBox::Ok,
                    owner());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool QtDialogs::askYesNo(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, captionOrTitle(caption), shownText(text),
                    QMessageBox::Yes | QMessageBox::No, owner());
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtDialogs::prompt(const QString& text, const QString& caption,
                                         const QString& defaultAnswer) {
    QInputDialog dialog(owner());
    dialog.setWindowTitle(captionOrTitle(caption));
    dialog.setLabelText(shownText(text));
    dialog.setTextValue(defaultAnswer);
    dialog.setInputMode(QInputDialog::TextInput);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue();
}
