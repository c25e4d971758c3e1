// The widget tests need an application object before the first widget.
#include <gtest/gtest.h>

#include <QApplication>

#include "ui/Appearance.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests at build time runs this too, without ctest's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    faderwell::InstallFontSubstitutes();
    return RUN_ALL_TESTS();
}
