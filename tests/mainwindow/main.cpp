#include <gtest/gtest.h>

#include <QApplication>

#include "chrome/CjkFont.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    InstallCjkFontSubstitution();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
