#include "schema/SchemaNameIndex.h"

#include <gtest/gtest.h>

#include <string>

using ldapmodel::SchemaNameIndex;

namespace {

TEST(SchemaNameIndex, FirstValueOfANameWinsIgnoringCase)
{
    SchemaNameIndex index;
    EXPECT_EQ(SchemaNameIndex::NOT_FOUND, index.find(L"cn"));
    EXPECT_TRUE(index.insert(L"commonName", 0));
    EXPECT_FALSE(index.insert(L"COMMONNAME", 1));
    EXPECT_TRUE(index.insert(L"", 2));
    EXPECT_EQ(0u, index.find(L"commonname"));
    EXPECT_EQ(0u, index.find(L"CommonName"));
    EXPECT_EQ(2u, index.find(L""));
    EXPECT_EQ(SchemaNameIndex::NOT_FOUND, index.find(L"commonNam"));
    EXPECT_EQ(SchemaNameIndex::NOT_FOUND, index.find(L"commonNames"));
    EXPECT_EQ(2u, index.size());
    EXPECT_FALSE(index.insert(L"x", SchemaNameIndex::NOT_FOUND));
}

TEST(SchemaNameIndex, NonAsciiLettersFold)
{
    SchemaNameIndex index;
    index.insert(L"\u00C9t\u00E9", 7);
    // towlower in the C locale folds ASCII only; the exact text always matches.
    EXPECT_EQ(7u, index.find(L"\u00C9T\u00E9"));
    EXPECT_EQ(7u, index.find(L"\u00C9t\u00E9"));
}

TEST(SchemaNameIndex, GrowsAndKeepsEveryName)
{
    SchemaNameIndex index;
    for (std::size_t i = 0; i < 5000; ++i)
        ASSERT_TRUE(index.insert(L"name" + std::to_wstring(i) + std::wstring(i % 50, L'x'), i));
    EXPECT_EQ(5000u, index.size());
    for (std::size_t i = 0; i < 5000; ++i)
        ASSERT_EQ(i, index.find(L"NAME" + std::to_wstring(i) + std::wstring(i % 50, L'X')));
    // A key longer than a storage block.
    const std::wstring longName(20000, L'q');
    EXPECT_TRUE(index.insert(longName, 9));
    EXPECT_EQ(9u, index.find(std::wstring(20000, L'Q')));
    EXPECT_EQ(0u, index.find(L"name0"));

    index.clear();
    EXPECT_EQ(0u, index.size());
    EXPECT_EQ(SchemaNameIndex::NOT_FOUND, index.find(L"name0"));
    index.reserve(100);
    EXPECT_TRUE(index.insert(L"name0", 3));
    EXPECT_EQ(3u, index.find(L"Name0"));
}

TEST(SchemaNameIndex, CaseInsensitiveHelpers)
{
    EXPECT_TRUE(ldapmodel::equalsIgnoreCase(L"subschemaSubentry", L"SUBSCHEMASUBENTRY"));
    EXPECT_FALSE(ldapmodel::equalsIgnoreCase(L"a", L"ab"));
    EXPECT_FALSE(ldapmodel::equalsIgnoreCase(L"[", L"{"));  // not letters
    EXPECT_EQ(ldapmodel::hashIgnoringCase(L"jpegPhoto"), ldapmodel::hashIgnoringCase(L"JPEGPHOTO"));
}

} // namespace
