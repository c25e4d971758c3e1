// GoogleTest over a real QApplication, on Qt's offscreen platform unless the
// test run provides a display, laid out at 96 pixels per inch.
#include <gtest/gtest.h>

#include <QApplication>

#include "ui/Appearance.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests at build time runs this too, without ctest's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    qputenv("QT_SCALE_FACTOR", "1");
    QApplication application(argc, argv);
    faderwell::InstallFontSubstitutes();
    return RUN_ALL_TESTS();
}
