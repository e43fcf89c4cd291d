#pragma once

#include <QApplication>

// The one QApplication of a GUI test program, made by the first test that needs it (offscreen
// unless QT_QPA_PLATFORM says otherwise).
QApplication& guiApplication();

// Lets the event loop run for a while (timers, queued signals, repaints).
void processEventsFor(int milliseconds);
