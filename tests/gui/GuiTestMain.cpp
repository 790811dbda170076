// GoogleTest under a QApplication: the window tests need one, offscreen, with a
// fixed zone and locale whoever starts them.

#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <clocale>
#include <cstdlib>
#include <ctime>

#include "mainwindow/MainWindow.h"

#if defined(__SANITIZE_ADDRESS__)
// The web engine (Chromium) frees some objects through a base type of another size
// and keeps allocations until exit; neither is ours, and the window tests cannot
// run without it.
extern "C" const char* __asan_default_options() {
    return "new_delete_type_mismatch=0";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6WebEngineCore.so\nleak:libudev.so\nleak:libfontconfig.so\n";
}
#endif

namespace {
// Every test starts as a first start: no layout, no recent stores.
class ForgetWindowSettings : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { lumbrook::windowSettings().clear(); }
};
}  // namespace

int main(int argc, char** argv) {
    ::setenv("TZ", "UTC", 1);
    ::setenv("LC_ALL", "C.UTF-8", 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    ::setenv("LUMBROOK_STORE_SEARCH_PATH", "", 1);  // never this computer's disks
    ::tzset();
    std::setlocale(LC_ALL, "");
    // The window keeps its layout and recent stores in the user's configuration:
    // the tests keep theirs in a directory of their own.
    QTemporaryDir config;
    ::setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumbrook"));
    ::testing::UnitTest::GetInstance()->listeners().Append(new ForgetWindowSettings);
    return RUN_ALL_TESTS();
}
