#include "support/ScriptedMessageBoxes.h"
#include "utilities/Util.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using util::CP_ACP;
using util::CP_UTF8;

std::vector<unsigned char> bytesOf(const std::string& text)
{
    return std::vector<unsigned char>(text.begin(), text.end());
}

std::string encode(const std::string& text)
{
    return util::base64Encode(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

// ---- Wide text to bytes and back ----

TEST(ConversionTest, EmptyAndNullGiveEmptyWithoutMessage)
{
    dirtest::ScriptedMessageBoxes boxes;
    EXPECT_EQ(util::wideToBytes(L"", -1, CP_UTF8), "");
    EXPECT_EQ(util::wideToBytes(L"abc", 0, CP_UTF8), "");
    EXPECT_EQ(util::wideToBytes(L"abc", -5, CP_UTF8), "");
    EXPECT_EQ(util::wideToBytes(nullptr, 3, CP_UTF8), "");
    EXPECT_EQ(util::toUtf8(L""), "");
    EXPECT_EQ(util::bytesToWide("", -1, CP_UTF8), L"");
    EXPECT_EQ(util::bytesToWide(nullptr, 4, CP_UTF8), L"");
    EXPECT_EQ(util::bytesToWide("abc", 0, CP_UTF8), L"");
    EXPECT_EQ(util::fromUtf8(""), L"");
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST(ConversionTest, Utf8RoundTripOfAllWidths)
{
    dirtest::ScriptedMessageBoxes boxes;
    const std::wstring text = L"cn=J\u00fcrgen \u20ac \U0001F600,dc=example";
    const std::string bytes = util::toUtf8(text);
    EXPECT_EQ(bytes, "cn=J\xC3\xBCrgen \xE2\x82\xAC \xF0\x9F\x98\x80,dc=example");
    EXPECT_EQ(util::fromUtf8(bytes), text);
    EXPECT_EQ(util::wideToBytes(text.c_str(), -1, CP_UTF8), bytes);
    EXPECT_EQ(util::bytesToWide(bytes.c_str(), static_cast<int>(bytes.size()), CP_UTF8), text);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST(ConversionTest, CountLimitsTheInput)
{
    EXPECT_EQ(util::wideToBytes(L"abcdef", 3, CP_UTF8), "abc");
    EXPECT_EQ(util::bytesToWide("abcdef", 2, CP_UTF8), L"ab");
    // A count that cuts a multi-byte sequence leaves one replacement.
    EXPECT_EQ(util::bytesToWide("a\xC3\xBC", 2, CP_UTF8), L"a\uFFFD");
}

TEST(ConversionTest, ResultEndsAtFirstZero)
{
    const wchar_t wide[] = {L'a', L'b', 0, L'c', L'd'};
    EXPECT_EQ(util::wideToBytes(wide, 5, CP_UTF8), "ab");
    EXPECT_EQ(util::bytesToWide("ab\0cd", 5, CP_UTF8), L"ab");
    EXPECT_EQ(util::fromUtf8(std::string("x\0y", 3)), L"x");
    EXPECT_EQ(util::toUtf8(std::wstring(L"x\0y", 3)), "x");
}

TEST(ConversionTest, InvalidUtf8BecomesReplacementCharacters)
{
    dirtest::ScriptedMessageBoxes boxes;
    // Lone continuation byte, invalid lead bytes.
    EXPECT_EQ(util::fromUtf8("a\x80z"), L"a\uFFFDz");
    EXPECT_EQ(util::fromUtf8("\xC0\xAF"), L"\uFFFD\uFFFD");
    EXPECT_EQ(util::fromUtf8("\xFF\xFE"), L"\uFFFD\uFFFD");
    // Overlong three-byte form of "/".
    EXPECT_EQ(util::fromUtf8("\xE0\x80\xAF"), L"\uFFFD\uFFFD\uFFFD");
    // Encoded surrogate U+D800.
    EXPECT_EQ(util::fromUtf8("\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD");
    // Beyond U+10FFFF.
    EXPECT_EQ(util::fromUtf8("\xF4\x90\x80\x80"), L"\uFFFD\uFFFD\uFFFD\uFFFD");
    // Truncated sequences: one replacement per maximal prefix.
    EXPECT_EQ(util::fromUtf8("\xE2\x82"), L"\uFFFD");
    EXPECT_EQ(util::fromUtf8("\xF0\x9F\x98"), L"\uFFFD");
    EXPECT_EQ(util::fromUtf8("\xE2\x82x"), L"\uFFFDx");
    // Largest valid scalar still decodes.
    EXPECT_EQ(util::fromUtf8("\xF4\x8F\xBF\xBF"), std::wstring(1, static_cast<wchar_t>(0x10FFFF)));
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST(ConversionTest, UnencodableWideCharactersBecomeReplacement)
{
    dirtest::ScriptedMessageBoxes boxes;
    std::wstring text;
    text += L'a';
    text += static_cast<wchar_t>(0xD800);
    text += static_cast<wchar_t>(0x110000);
    text += static_cast<wchar_t>(-1);
    EXPECT_EQ(util::toUtf8(text), "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST(ConversionTest, AnsiIsLatin1AndMarksWhatItCannotHold)
{
    EXPECT_EQ(util::toAnsi(L"M\u00fcller"), "M\xFCller");
    EXPECT_EQ(util::fromAnsi("M\xFCller"), L"M\u00fcller");
    EXPECT_EQ(util::toAnsi(L"5 \u20ac"), "5 ?");
    EXPECT_EQ(util::wideToBytes(L"\u00ff\u0100", -1, CP_ACP), "\xFF?");
    std::string everyByte;
    for (int b = 1; b < 256; ++b)
        everyByte += static_cast<char>(b);
    EXPECT_EQ(util::toAnsi(util::fromAnsi(everyByte)), everyByte);
}

TEST(ConversionTest, UnknownCodePageGivesEmpty)
{
    EXPECT_EQ(util::wideToBytes(L"abc", -1, 1252), "");
    EXPECT_EQ(util::bytesToWide("abc", -1, 1252), L"");
}

TEST(ConversionTest, HugeInputRoundTrips)
{
    std::wstring text;
    text.reserve(3000000);
    for (int i = 0; i < 1000000; ++i) {
        text += L'x';
        text += L'\u00e9';
        text += static_cast<wchar_t>(0x1F600 + i % 16);
    }
    std::string bytes = util::toUtf8(text);
    EXPECT_EQ(bytes.size(), 1000000u * (1 + 2 + 4));
    EXPECT_EQ(util::fromUtf8(bytes), text);
}

TEST(ConversionTest, RandomBytesNeverFailAndReencodeCleanly)
{
    dirtest::ScriptedMessageBoxes boxes;
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 40, '\0');
        for (char& b : bytes)
            b = static_cast<char>(random() % 255 + 1);
        std::wstring wide = util::fromUtf8(bytes);
        // Whatever came out is valid text and survives a second round.
        EXPECT_EQ(util::fromUtf8(util::toUtf8(wide)), wide);
    }
    EXPECT_TRUE(boxes.boxes().empty());
}

// ---- Base64 ----

TEST(Base64Test, PaddingByLength)
{
    EXPECT_EQ(encode("abc"), "YWJj");
    EXPECT_EQ(encode("a"), "YQ==");
    EXPECT_EQ(encode("ab"), "YWI=");
    EXPECT_EQ(encode("foobar"), "Zm9vYmFy");
    EXPECT_EQ(encode("fooba"), "Zm9vYmE=");
}

TEST(Base64Test, EmptyInputGivesEmpty)
{
    EXPECT_EQ(util::base64Encode(nullptr, 0), "");
    EXPECT_EQ(util::base64Encode(nullptr, 5), "");
    const unsigned char byte = 1;
    EXPECT_EQ(util::base64Encode(&byte, 0), "");
    EXPECT_TRUE(util::base64Decode("").empty());
}

TEST(Base64Test, ImpossibleSizeReportsFailureWithoutReading)
{
    dirtest::ScriptedMessageBoxes boxes;
    const unsigned char byte = 1;
    EXPECT_EQ(util::base64Encode(&byte, SIZE_MAX), "");
    auto shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, L"base64 failed");
    EXPECT_EQ(shown[0].text, L"base64 failed");
    EXPECT_EQ(shown[0].buttons, util::BoxButtons::OkCancel);
}

TEST(Base64Test, HundredBytesOnOneLine)
{
    std::vector<unsigned char> bytes(100);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(i * 37);
    std::string text = util::base64Encode(bytes.data(), bytes.size());
    EXPECT_EQ(text.size(), 136u);
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(text.substr(134), "==");
    EXPECT_EQ(util::base64Decode(text), bytes);
}

TEST(Base64Test, UsesTheStandardAlphabet)
{
    const unsigned char bytes[] = {0xFB, 0xFF, 0xBF};
    EXPECT_EQ(util::base64Encode(bytes, 3), "+/+/");
    EXPECT_EQ(util::base64Decode("+/+/"), std::vector<unsigned char>(bytes, bytes + 3));
}

TEST(Base64Test, DecodeSkipsWhitespaceAndLineBreaks)
{
    EXPECT_EQ(util::base64Decode("Zm9v\nYmFy"), bytesOf("foobar"));
    EXPECT_EQ(util::base64Decode(" Z m 9 v\r\n Y m F y \n"), bytesOf("foobar"));
    EXPECT_EQ(util::base64Decode("Zm9vYmE=\n"), util::base64Decode("Zm9vYmE="));
}

TEST(Base64Test, FinalGroupsGiveOneOrTwoBytesOrNothing)
{
    EXPECT_EQ(util::base64Decode("YQ"), bytesOf("a"));
    EXPECT_EQ(util::base64Decode("YWI"), bytesOf("ab"));
    EXPECT_EQ(util::base64Decode("YWJjY"), bytesOf("abc"));
    EXPECT_TRUE(util::base64Decode("Y").empty());
    EXPECT_TRUE(util::base64Decode("====").empty());
}

TEST(Base64Test, ZeroByteEndsInput)
{
    EXPECT_EQ(util::base64Decode(std::string("YWJj\0ZGVm", 9)), bytesOf("abc"));
}

TEST(Base64Test, GarbageIsSkippedWithoutMessage)
{
    dirtest::ScriptedMessageBoxes boxes;
    EXPECT_TRUE(util::base64Decode("!!!***\x80\xFF").empty());
    EXPECT_EQ(util::base64Decode("Y#W$J%j"), bytesOf("abc"));
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST(Base64Test, RoundTripsEveryLengthAndByte)
{
    std::mt19937 random(11);
    for (std::size_t length = 0; length < 300; ++length) {
        std::vector<unsigned char> bytes(length);
        for (auto& b : bytes)
            b = static_cast<unsigned char>(random());
        std::string text = util::base64Encode(bytes.data(), bytes.size());
        EXPECT_EQ(text.size(), (length + 2) / 3 * 4);
        EXPECT_EQ(util::base64Decode(text), bytes) << "length " << length;
    }
}

TEST(Base64Test, LargeValueRoundTrips)
{
    std::vector<unsigned char> bytes(5 * 1024 * 1024 + 1);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(i ^ (i >> 8));
    std::string text = util::base64Encode(bytes.data(), bytes.size());
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_EQ(util::base64Decode(text), bytes);
}

// ---- Trimming and comma lists ----

TEST(TrimTest, RemovesSpacesOnly)
{
    EXPECT_EQ(util::trim(L"  a b  "), L"a b");
    EXPECT_EQ(util::trim(L"    "), L"");
    EXPECT_EQ(util::trim(L""), L"");
    EXPECT_EQ(util::trim(L"\ta\t"), L"\ta\t");
    EXPECT_EQ(util::trim(L" a\n "), L"a\n");
}

TEST(CommaListTest, NormaliseRemovesSpacesAroundCommas)
{
    EXPECT_EQ(util::normalizeCommaList(L"cn=John Smith , ou=Sales Dept ,  dc=example"),
              L"cn=John Smith,ou=Sales Dept,dc=example");
    EXPECT_EQ(util::normalizeCommaList(L""), L"");
    EXPECT_EQ(util::normalizeCommaList(L"  no comma  "), L"  no comma  ");
    EXPECT_EQ(util::normalizeCommaList(L",a,"), L",a,");
    EXPECT_EQ(util::normalizeCommaList(L" , "), L",");
}

TEST(CommaListTest, EscapedCommaStaysInsideItsPiece)
{
    EXPECT_EQ(util::normalizeCommaList(L"cn=Smith\\, John , dc=example"),
              L"cn=Smith\\, John,dc=example");
    EXPECT_EQ(util::reverseCommaList(L"cn=Smith\\, John,dc=example", L","),
              L"dc=example,cn=Smith\\, John");
    // An escaped backslash does not escape the comma after it.
    EXPECT_EQ(util::reverseCommaList(L"cn=a\\\\,dc=b", L","), L"dc=b,cn=a\\\\");
    // An escaped trailing space is part of the value.
    EXPECT_EQ(util::normalizeCommaList(L"cn=a\\ , dc=b"), L"cn=a\\ ,dc=b");
}

TEST(CommaListTest, ReverseGivesRootFirst)
{
    EXPECT_EQ(util::reverseCommaList(L"cn=a, ou=b ,dc=c", L","), L"dc=c,ou=b,cn=a");
    EXPECT_EQ(util::reverseCommaList(L" single ", L","), L"single");
    EXPECT_EQ(util::reverseCommaList(L"", L","), L"");
    EXPECT_EQ(util::reverseCommaList(L"a;b;c", L";"), L"c,b,a");
    EXPECT_EQ(util::reverseCommaList(L"a, b", L""), L"a, b");
}

TEST(CommaListTest, SplitKeepsEscapedSeparatorsAndBlanks)
{
    EXPECT_EQ(util::splitList(L"cn=Smith\\, John , ou=a\\ ,dc=b", L","),
              (std::vector<std::wstring>{L"cn=Smith\\, John", L"ou=a\\ ", L"dc=b"}));
    EXPECT_EQ(util::splitList(L",a,", L","), (std::vector<std::wstring>{L"", L"a", L""}));
    EXPECT_EQ(util::splitList(L"a;b", L";"), (std::vector<std::wstring>{L"a", L"b"}));
    EXPECT_EQ(util::splitList(L" a, b ", L""), (std::vector<std::wstring>{L"a, b"}));
    EXPECT_EQ(util::splitList(L"", L","), (std::vector<std::wstring>{L""}));
    EXPECT_EQ(util::trimListPiece(L"  cn=a\\  "), L"cn=a\\ ");
    EXPECT_EQ(util::trimListPiece(L"  cn=a\\\\  "), L"cn=a\\\\");
    EXPECT_EQ(util::trimListPiece(L"   "), L"");
}

std::wstring formatWide(const wchar_t* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::wstring result = util::formatWideV(format, arguments);
    va_end(arguments);
    return result;
}

TEST(FormatWideTest, PercentSTakesWideStrings)
{
    EXPECT_EQ(formatWide(L"%s=%d %c|%5s|%-3s|%%", L"cn", 7, L'x', L"ab", L"z"),
              L"cn=7 x|   ab|z  |%");
    EXPECT_EQ(formatWide(L"%ls %hs", L"wide", "narrow"), L"wide narrow");
    EXPECT_EQ(formatWide(L"\u017Bak %s", L"\u00e9"), L"\u017Bak \u00e9");
    EXPECT_EQ(formatWide(nullptr), L"");
}

TEST(FormatWideTest, GrowsForLongResultsAndGivesUpOnHugeOnes)
{
    const std::wstring fits(5000, L'b');
    EXPECT_EQ(formatWide(L"<%s>", fits.c_str()), L"<" + fits + L">");
    const std::wstring huge(std::size_t(1) << 20, L'a');
    EXPECT_EQ(formatWide(L"%s", huge.c_str()), L"");
}

TEST(TrimCharsTest, UsesSeparateSets)
{
    EXPECT_EQ(util::trimChars(L"( 'name' )", L"( '", L" )'"), L"name");
    EXPECT_EQ(util::trimChars(L"xxabcxx", L"x", L""), L"abcxx");
    EXPECT_EQ(util::trimChars(L"xxabcxx", L"", L"x"), L"xxabc");
    EXPECT_EQ(util::trimChars(L"", L"x", L"x"), L"");
    EXPECT_EQ(util::trimChars(L"xyxy", L"xy", L""), L"");
    EXPECT_EQ(util::trimChars(L"xyxy", L"", L"yx"), L"");
    EXPECT_EQ(util::trimChars(L"'a'", L"'", L"'"), L"a");
    EXPECT_EQ(util::trimChars(L"'", L"'", L"'"), L"");
}

// ---- Message boxes of the utilities ----

TEST(UtilMessagesTest, InternalErrorShowsMessageBoxWithOkCancel)
{
    dirtest::ScriptedMessageBoxes boxes;
    util::showInternalError(L"bug in wide char");
    auto shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, L"Message");
    EXPECT_EQ(shown[0].text, L"bug in wide char");
    EXPECT_EQ(shown[0].buttons, util::BoxButtons::OkCancel);
}

TEST(UtilMessagesTest, LastErrorShowsSystemTextWithInformationIcon)
{
    dirtest::ScriptedMessageBoxes boxes;
    errno = ENOENT;
    std::wstring text = util::showLastError(L"Open file");
    EXPECT_EQ(text, L"Error 2: No such file or directory");
    auto shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, L"Open file");
    EXPECT_EQ(shown[0].text, text);
    EXPECT_EQ(shown[0].icon, util::BoxIcon::Information);
    EXPECT_EQ(shown[0].buttons, util::BoxButtons::Ok);
}

} // namespace
