// GoogleTest under a QApplication: the window tests need one, and offscreen.

#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>
#include <cstdlib>
#include <ctime>

int main(int argc, char** argv) {
    // CTest sets these; a test binary run by hand gets the same.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    ::setenv("TZ", "UTC", 0);
    ::setenv("LC_ALL", "C.UTF-8", 0);
    ::tzset();
    std::setlocale(LC_ALL, "");
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumbrook"));
    return RUN_ALL_TESTS();
}
