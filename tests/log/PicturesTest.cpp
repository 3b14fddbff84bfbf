// The windows find their pictures by these names and sizes once the pictures library is linked.
#include <QGuiApplication>
#include <QImage>
#include <QString>

#include <gtest/gtest.h>

namespace {

struct TExpected {
    const char* Name;
    int Width;
    int Height;
};

const TExpected kPictures[] = {
    {"banner.png", 620, 241},
    {"min_normal.png", 30, 27},
    {"min_hover.png", 30, 27},
    {"close_normal.png", 30, 27},
    {"close_hover.png", 30, 27},
    {"download_now.png", 215, 57},
    {"download_now_hover.png", 215, 57},
    {"folder.png", 70, 26},
    {"folder_hover.png", 70, 26},
    {"download.png", 196, 50},
    {"download_hover.png", 196, 50},
    {"install.png", 194, 48},
    {"install_hover.png", 194, 48},
    {"progress_track.png", 551, 19},
    {"progress_fill.png", 551, 19},
    {"gray_arrow.png", 14, 15},
    {"info_icon.png", 60, 54},
    {"redownload.png", 66, 27},
    {"redownload_hover.png", 66, 27},
    {"browser_link.png", 105, 17},
    {"info_titlebar.png", 413, 35},
    {"msg_information.png", 48, 48},
    {"msg_error.png", 48, 48},
    {"msg_warning.png", 48, 48},
    {"msg_question.png", 48, 48},
    {"msg_close.png", 26, 26},
    {"msg_close_hover.png", 26, 26},
    {"msg_titlebar.png", 16, 35},
    {"msg_frame.png", 8, 8},
    {"msg_buttonbar.png", 16, 46},
};

TEST(Pictures, EveryPictureLoadsFromTheResourcesWithItsSize) {
    for (const TExpected& expected : kPictures) {
        SCOPED_TRACE(expected.Name);
        const QImage image(QStringLiteral(":/pictures/") + QLatin1String(expected.Name));
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.width(), expected.Width);
        EXPECT_EQ(image.height(), expected.Height);
    }
}

// Each picture has its drawing at twice the density beside it, twice the size in each direction.
TEST(Pictures, EveryPictureHasItsTwiceAsDenseDrawing) {
    for (const TExpected& expected : kPictures) {
        SCOPED_TRACE(expected.Name);
        QString name = QString::fromLatin1(expected.Name);
        name.insert(name.lastIndexOf(QLatin1Char('.')), QStringLiteral("@2x"));
        const QImage image(QStringLiteral(":/pictures/") + name);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.width(), 2 * expected.Width);
        EXPECT_EQ(image.height(), 2 * expected.Height);
    }
}

// The title buttons and icons lie on other pictures: their corners must let the background through,
// while the bars and backgrounds that are stretched behind controls are opaque.
TEST(Pictures, TransparentWhereTheyLieOnOthersOpaqueWhereTheyAreBackgrounds) {
    const char* seeThrough[] = {"min_normal.png", "close_normal.png",    "msg_close.png",
                                "info_icon.png",  "msg_information.png", "download_now.png",
                                "gray_arrow.png", "browser_link.png"};
    for (const char* name : seeThrough) {
        SCOPED_TRACE(name);
        const QImage image(QStringLiteral(":/pictures/") + QLatin1String(name));
        ASSERT_TRUE(image.hasAlphaChannel());
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
    }
    const char* opaque[] = {"banner.png", "info_titlebar.png", "msg_titlebar.png", "msg_frame.png",
                            "msg_buttonbar.png"};
    for (const char* name : opaque) {
        SCOPED_TRACE(name);
        const QImage image = QImage(QStringLiteral(":/pictures/") + QLatin1String(name))
                                 .convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(image.isNull());
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                ASSERT_EQ(qAlpha(image.pixel(x, y)), 255) << x << "," << y;
            }
        }
    }
}

// A bar stretched sideways must look the same at every width: all its columns are alike.
TEST(Pictures, SidewaysStretchedBarsHaveEqualColumns) {
    for (const char* name : {"msg_titlebar.png", "msg_buttonbar.png", "msg_frame.png"}) {
        SCOPED_TRACE(name);
        const QImage image = QImage(QStringLiteral(":/pictures/") + QLatin1String(name))
                                 .convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 1; x < image.width(); ++x) {
                ASSERT_EQ(image.pixel(x, y), image.pixel(0, y)) << x << "," << y;
            }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
