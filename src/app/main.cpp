#include <QApplication>

#include "app/window_flow.h"
#include "ui/qt_dialogs.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QtDialogs dialogs;
    WindowFlow flow(QCoreApplication::applicationDirPath(), dialogs);
    flow.start();
    return app.exec();
}
