// Test entry of the ui tests: widgets offscreen, under the program's application class.
#include "ui/ErrorDisplay.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    TZettelwerkApplication app(argc, argv);
    QApplication::setApplicationName("Zettelwerk");
    return RUN_ALL_TESTS();
}
