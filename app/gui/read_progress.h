#pragma once

#include <QElapsedTimer>
#include <QProgressDialog>
#include <cstdint>
#include <memory>

class TMainFormCore;
class QWidget;

// The progress of the reads of one command: while it lives, the core's reads report to it. A
// read that is still going after half a second brings up a dialog over the window, driven by the
// bytes read, whose cancel button stops the read (the table then stays as it was); the window
// repaints meanwhile. After a cancel, every further read of the command is cancelled too.
class TReadProgress {
public:
    TReadProgress(QWidget* window, TMainFormCore& core);
    ~TReadProgress();
    TReadProgress(const TReadProgress&) = delete;
    TReadProgress& operator=(const TReadProgress&) = delete;

    static constexpr int kShowAfterMilliseconds = 500;

private:
    bool update(std::int64_t done, std::int64_t total);

    QWidget* window_;
    TMainFormCore& core_;
    QElapsedTimer clock_;
    std::unique_ptr<QProgressDialog> dialog_;
};
