#include "ui/centre_on_screen.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void CentreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QSize frame = window.frameSize();
    window.move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
}
