#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSettings>
#include <optional>

#include "tests/support/temporary_directory.h"

namespace {

// The window keeps recent files, its geometry and column widths in the settings. In the tests they
// live in a folder of their own, never the user's, and every test starts without any.
class TSettingsIsolation : public ::testing::EmptyTestEventListener {
    void OnTestProgramStart(const ::testing::UnitTest&) override {
        dir_.emplace("pm-gui-settings");
        QCoreApplication::setOrganizationName("pointmark-editor-test");
        QCoreApplication::setApplicationName("test_gui");
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(dir_->path()));
    }
    void OnTestStart(const ::testing::TestInfo&) override { QSettings().clear(); }
    void OnTestProgramEnd(const ::testing::UnitTest&) override { dir_.reset(); }

    std::optional<TemporaryDirectory> dir_;
};

const bool registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new TSettingsIsolation);
    return true;
}();

} // namespace
