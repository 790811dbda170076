#include <gtest/gtest.h>

#include <QDate>
#include <QLabel>
#include <QTest>

#include "windows/AboutDialog.h"
#include "windows/AboutPicture.h"
#include "windows/JpegPicture.h"

namespace lumbrook {
namespace {

TEST(AboutBox, FixedInfoDialogWithTheYearFilledIn) {
    EXPECT_EQ(AboutDialog::withYear("(c) XXXX-XXXX", 2031), QStringLiteral("(c) 2031-XXXX"));
    EXPECT_EQ(AboutDialog::withYear("no year", 2031), QStringLiteral("no year"));

    AboutDialog box;
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Info"));
    EXPECT_EQ(box.minimumSize(), box.maximumSize());
    EXPECT_TRUE(box.copyright->text().contains(QString::number(QDate::currentDate().year())));
    EXPECT_FALSE(box.copyright->text().contains(QStringLiteral("XXXX")));
    ASSERT_FALSE(box.picture->pixmap().isNull());
}

TEST(AboutBox, PictureDecodesAndDamageIsRefusedWithoutEndingTheProgram) {
    JpegPicture picture;
    std::string error;
    ASSERT_TRUE(decodeJpeg(AboutPictureJpeg, AboutPictureJpegSize, picture, error)) << error;
    EXPECT_EQ(picture.width, 136);
    EXPECT_EQ(picture.height, 168);
    EXPECT_EQ(picture.rgb.size(), 136u * 168u * 3u);

    const std::vector<std::uint8_t> whole(AboutPictureJpeg,
                                          AboutPictureJpeg + AboutPictureJpegSize);
    std::vector<std::uint8_t> garbage(200, 0x5A);
    std::vector<std::uint8_t> headerOnly(whole.begin(), whole.begin() + 20);
    std::vector<std::uint8_t> badMarker = whole;
    badMarker[1] = 0x00;  // not a start-of-image marker
    for (const auto* bytes : {&garbage, &headerOnly, &badMarker}) {
        error.clear();
        EXPECT_FALSE(decodeJpeg(bytes->data(), bytes->size(), picture, error));
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(picture.rgb.empty());
    }
    EXPECT_FALSE(decodeJpeg(nullptr, 0, picture, error));

    // A picture cut off half way still decodes (libjpeg fills the rest) or fails
    // cleanly; either way the call returns.
    std::vector<std::uint8_t> half(whole.begin(), whole.begin() + whole.size() / 2);
    decodeJpeg(half.data(), half.size(), picture, error);
}

}  // namespace
}  // namespace lumbrook
