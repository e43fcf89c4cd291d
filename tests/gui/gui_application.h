#pragma once

#include <QApplication>
#include <QElapsedTimer>

// The one QApplication of the GUI test program, made by the first test that needs it (offscreen
// unless QT_QPA_PLATFORM says otherwise).
inline QApplication& guiApplication() {
    static int argc = 1;
    static char name[] = "test_gui";
    static char* argv[] = {name, nullptr};
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!QApplication::instance()) new QApplication(argc, argv);
    return *qApp;
}

// Lets the event loop run for a while (timers, queued signals, repaints).
inline void processEventsFor(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) QApplication::processEvents(QEventLoop::AllEvents, 10);
}
