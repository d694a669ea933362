#include <QApplication>
#include <gtest/gtest.h>

// Tests that need a real X screen: run under xvfb-run.
int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
