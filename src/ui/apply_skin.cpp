#include "ui/apply_skin.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QWidget>

#include "base/failure.h"

namespace {
void paintButtonFace(QWidget& widget) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}
}  // namespace

void SetSystemColours(QWidget& window) {
    paintButtonFace(window);
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child))
            paintButtonFace(*child);
    }
}

void ApplySkin(QWidget& loginWindow, const QString& programFolder) {
    const QString path = programFolder + QStringLiteral("/x/o.cjs");
    if (!QDir(programFolder + QStringLiteral("/x")).exists(QStringLiteral("o.cjs"))) return;
    SetSystemColours(loginWindow);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(
            QStringLiteral("The skin file %1 cannot be read: %2").arg(path, file.errorString()));
    loginWindow.setStyleSheet(QString::fromUtf8(file.readAll()));
}
