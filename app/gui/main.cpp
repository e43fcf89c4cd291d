#include <QApplication>

#include "app/gui/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(kApplicationTitle);
    TMainForm mainForm;
    mainForm.show();
    return app.exec();
}
