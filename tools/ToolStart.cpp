#include "tools/ToolStart.h"

#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>

namespace lumbrook {

std::unique_ptr<QApplication> startTool(int& argc, char** argv, int minArguments,
                                        const char* usage) {
    if (argc < minArguments + 1) {
        std::fprintf(stderr, "usage: %s %s\n", argv[0], usage);
        return nullptr;
    }
    std::setlocale(LC_ALL, "");
    if (::geteuid() == 0) ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    auto app = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumbrook"));
    return app;
}

}  // namespace lumbrook
