// main() for the layout suite on a small screen at the scale QT_SCALE_FACTOR
// asks for: a private Xvfb (1024 x 768), the program's own choice of the
// scale that fits, then one QApplication on that screen.

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdio>

#include "WindowPlacement.h"
#include "XvfbServer.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    vm4417::test::XvfbServer xvfb;
    if (!xvfb.Start()) {
        std::fprintf(stderr, "no Xvfb: %s\n", xvfb.Error().c_str());
        return 1;
    }
    qputenv("DISPLAY", QByteArray::fromStdString(xvfb.DisplayName()));
    qputenv("QT_QPA_PLATFORM", "xcb");
    vm4417::ui::FitScaleToScreen(argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
