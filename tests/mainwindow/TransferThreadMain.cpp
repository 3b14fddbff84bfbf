// The transfer thread's tests on their own: no windows, only the event loop of a core application (so that
// they also run under ThreadSanitizer without the widget libraries).
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
