#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "shell/TrayMenu.h"
#include "tests/app/AppFixture.h"

namespace tavrin {
namespace {

class TrayMenuTest : public test::AppFixture {};

TEST_F(TrayMenuTest, MarginIsARedGradientWithTheNameRunningUpwards) {
    QImage image(24, 120, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    TrayMenu::PaintMargin(painter, QRect(0, 0, 24, 120));
    painter.end();
    QColor top = image.pixelColor(23, 0);
    QColor bottom = image.pixelColor(23, 119);
    EXPECT_GE(top.red(), 250);
    EXPECT_EQ(top.green(), 0);
    EXPECT_LE(bottom.red(), 70);
    EXPECT_GE(bottom.red(), 60);
    // White text in the lower part, none in the upper part (it starts 5 pixels above the
    // bottom and runs upwards).
    int whiteLow = 0, whiteHigh = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 24; ++x)
            if (image.pixelColor(x, y).lightness() > 200) (y > 40 ? whiteLow : whiteHigh)++;
    EXPECT_GT(whiteLow, 20);
    EXPECT_EQ(whiteHigh, 0);
    for (int x = 0; x < 24; ++x) EXPECT_LT(image.pixelColor(x, 117).lightness(), 200);
}

}  // namespace
}  // namespace tavrin
