// GeneralizedTime values as points in time: zones, fractions of the last
// field given, leap years; anything else is refused. And the image formats
// told by their signatures.

#include "values/GeneralizedTime.h"
#include "values/ImageKind.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using ldapmodel::GeneralizedTime;
using ldapmodel::ImageKind;

namespace {

TEST(GeneralizedTime, ReadsTheFormsOfTheSyntax)
{
    const struct {
        const char* text;
        std::int64_t seconds;
        int milliseconds;
    } cases[] = {
        {"19700101000000Z", 0, 0},
        {"20261208050327Z", 1796706207, 0},
        {"20261208070327+0200", 1796706207, 0},
        {"20261208000327-05", 1796706207, 0},
        {"202612080503Z", 1796706180, 0},
        {"2026120805Z", 1796706000, 0},
        {"20261208050327.25Z", 1796706207, 250},
        {"20261208050327,5Z", 1796706207, 500},
        {"202612080503.5Z", 1796706210, 0},   // half a minute
        {"2026120805.25Z", 1796706900, 0},    // a quarter of an hour
        {"20240229120000Z", 1709208000, 0},   // leap day
        {"20161231235960Z", 1483228800, 0},   // leap second
        {"19691231235959.5Z", -1, 500},
        {"99991231235959Z", 253402300799, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        GeneralizedTime time;
        ASSERT_TRUE(time.parse(c.text));
        EXPECT_EQ(time.getSecondsSinceEpoch(), c.seconds);
        EXPECT_EQ(time.getMilliseconds(), c.milliseconds);
    }
}

TEST(GeneralizedTime, RefusesWhatIsNotOne)
{
    for (const char* text :
         {"", "2026", "20261208050327", "20261208050327z", "20261208050327Z ", " 20261208050327Z",
          "20261308050327Z", "20260230050327Z", "20230229120000Z", "20261208240000Z",
          "20261208056000Z", "20261208050361Z", "2026120805032Z", "20261208050327.Z",
          "20261208050327+2400", "20261208050327+01000", "20261208050327+1", "2026-12-08T05:03:27Z",
          "20261208050327ZZ", "20261200050327Z"}) {
        SCOPED_TRACE(text);
        GeneralizedTime time;
        EXPECT_FALSE(time.parse(text));
    }
}

TEST(ImageKind, TellsJpegPngAndGifBySignature)
{
    const struct {
        std::string bytes;
        ImageKind kind;
        const char* name;
    } cases[] = {
        {std::string("\xFF\xD8\xFF\xE0", 4), ImageKind::Jpeg, "JPEG"},
        {std::string("\x89PNG\r\n\x1A\n\0\0", 10), ImageKind::Png, "PNG"},
        {"GIF87a..", ImageKind::Gif, "GIF"},
        {"GIF89a", ImageKind::Gif, "GIF"},
        {"GIF90a", ImageKind::None, ""},
        {std::string("\x89PNG\r\n\x1A", 7), ImageKind::None, ""},
        {std::string("\xFF\xD8", 2), ImageKind::None, ""},
        {"", ImageKind::None, ""},
    };
    for (const auto& c : cases) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(c.bytes.data());
        EXPECT_EQ(ldapmodel::detectImageKind(bytes, c.bytes.size()), c.kind) << c.bytes;
        EXPECT_STREQ(ldapmodel::imageKindName(ldapmodel::detectImageKind(bytes, c.bytes.size())),
                     c.name);
    }
    EXPECT_EQ(ldapmodel::detectImageKind(nullptr, 10), ImageKind::None);
}

} // namespace
