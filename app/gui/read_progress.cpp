#include "app/gui/read_progress.h"

#include <QApplication>

#include "app/main_form.h"

namespace {
constexpr int kSteps = 1000; // the dialog counts in int; files may be larger
}

TReadProgress::TReadProgress(QWidget* window, TMainFormCore& core) : window_(window), core_(core) {
    clock_.start();
    core_.OnProgress = [this](std::int64_t done, std::int64_t total) { return update(done, total); };
}

TReadProgress::~TReadProgress() { core_.OnProgress = nullptr; }

bool TReadProgress::update(std::int64_t done, std::int64_t total) {
    if (!dialog_) {
        if (clock_.elapsed() < kShowAfterMilliseconds) return true;
        // Made only now: a dialog made earlier would show itself from its own timer during any
        // event loop that runs meanwhile, a message box's for example.
        dialog_ = std::make_unique<QProgressDialog>(QString::fromUtf8("ファイルを読み込んでいます…"),
                                                    QString::fromUtf8("キャンセル"), 0, kSteps, window_);
        dialog_->setWindowTitle(window_->windowTitle());
        dialog_->setWindowModality(Qt::WindowModal);
        dialog_->setMinimumDuration(0);
        dialog_->setAutoReset(false);
        dialog_->setAutoClose(false);
        dialog_->show();
    }
    if (dialog_->wasCanceled()) return false;
    dialog_->setValue(total > 0 ? static_cast<int>(std::min(done, total) * kSteps / total) : 0);
    QApplication::processEvents();
    return !dialog_->wasCanceled();
}
