// Which monitors show the picture and where it sits on each, on a layout
// of two display rectangles side by side.
#include <gtest/gtest.h>

#include "platform/picture_fit.h"
#include "platform/sdl/sdl_platform.h"

TEST(MonitorLayout, OneOrAllOfTwoDisplays) {
    const DisplayRect displays[2] = {{0, 0, 1920, 1080}, {1920, -100, 1280, 1024}};
    // The pointer on the second display picks it; --display 0 wins over that.
    const int32_t pointed = ChooseDisplay(displays, 2, -1, 2000, 0);
    EXPECT_EQ(pointed, 1);
    EXPECT_EQ(ChooseDisplay(displays, 2, 0, 2000, 0), 0);

    EXPECT_EQ(PictureDisplays(2, pointed, MonitorChoice::One), (std::vector<bool>{false, true}));
    EXPECT_EQ(PictureDisplays(2, pointed, MonitorChoice::All), (std::vector<bool>{true, true}));
    EXPECT_EQ(PictureDisplays(0, -1, MonitorChoice::All), std::vector<bool>{});

    // Each display scales the picture to its own size, aspect kept.
    const PictureRect wide = FitPicture(displays[0].width, displays[0].height);
    EXPECT_EQ(wide.x, 240);
    EXPECT_EQ(wide.y, 0);
    EXPECT_EQ(wide.width, 1440);
    EXPECT_EQ(wide.height, 1080);
    const PictureRect tall = FitPicture(displays[1].width, displays[1].height);
    EXPECT_EQ(tall.x, 0);
    EXPECT_EQ(tall.y, 32);
    EXPECT_EQ(tall.width, 1280);
    EXPECT_EQ(tall.height, 960);
}
