#include <QApplication>
#include <QTimer>

#include "app/gui/localization.h"
#include "app/gui/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(kApplicationTitle);
    // Names the settings (recent files, the window's size and place, column widths).
    QApplication::setOrganizationName("pointmark-editor");
    // Qt's own dialogs, buttons and context menus speak Japanese like the rest of the window.
    const std::unique_ptr<QTranslator> translation = loadQtJapaneseTranslation();
    if (translation) QApplication::installTranslator(translation.get());
    TMainForm mainForm;
    mainForm.show();
    // The files named on the command line, read once the window is on the screen.
    const QStringList files = QApplication::arguments().mid(1);
    QTimer::singleShot(0, &mainForm, [&mainForm, &files] { mainForm.openFiles(files); });
    return app.exec();
}
