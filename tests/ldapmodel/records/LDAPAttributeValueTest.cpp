#include "handles/gc_ptr.h"
#include "records/LDAPAttributeValue.h"
#include "support/ScriptedMessageBoxes.h"

#include <lber.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using ldapmodel::LDAPAttributeValue;
using memorylib::gc_ptr;

std::string bytesOf(const LDAPAttributeValue& value)
{
    return std::string(value.getBytes(), value.getLength());
}

// A fresh directory under $TMPDIR, removed with its files at the end.
class TempDir {
public:
    TempDir()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/valuetest.XXXXXX";
        char* made = ::mkdtemp(pattern.data());
        if (made != nullptr)
            m_path = made;
    }
    ~TempDir()
    {
        if (!m_path.empty())
            std::system(("rm -rf '" + m_path + "'").c_str());
    }
    std::string file(const std::string& name) const { return m_path + "/" + name; }
    static std::wstring wide(const std::string& path) { return std::wstring(path.begin(), path.end()); }

private:
    std::string m_path;
};

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool fileExists(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0;
}

TEST(LDAPAttributeValueTest, EmptyValues)
{
    LDAPAttributeValue none;
    EXPECT_EQ(none.getLength(), 0u);
    EXPECT_EQ(none.getBytes(), nullptr);
    EXPECT_EQ(none.toString(), L"");

    LDAPAttributeValue fromEmptyText(std::wstring(L""));
    EXPECT_EQ(fromEmptyText.getLength(), 0u);
    EXPECT_EQ(fromEmptyText.getBytes(), nullptr);
    EXPECT_EQ(fromEmptyText.toString(), L"");

    LDAPAttributeValue fromNull(static_cast<const char*>(nullptr), 5);
    EXPECT_EQ(fromNull.getLength(), 0u);
    EXPECT_EQ(fromNull.getBytes(), nullptr);
    LDAPAttributeValue fromZeroLength("abc", 0);
    EXPECT_EQ(fromZeroLength.getBytes(), nullptr);

    LDAPAttributeValue fromNullBerval(static_cast<const berval*>(nullptr));
    EXPECT_EQ(fromNullBerval.getBytes(), nullptr);
}

TEST(LDAPAttributeValueTest, TextIsStoredAsUtf8)
{
    LDAPAttributeValue abc(std::wstring(L"abc"));
    EXPECT_EQ(bytesOf(abc), "abc");
    EXPECT_EQ(abc.getAttributeValueData().bv_len, 3u);
    EXPECT_EQ(abc.toString(), L"abc");
    EXPECT_FALSE(abc.containsNonAscii());

    LDAPAttributeValue jose(std::wstring(L"Jos\u00E9 \u0141"));
    EXPECT_EQ(bytesOf(jose), "Jos\xC3\xA9 \xC5\x81");
    EXPECT_TRUE(jose.containsNonAscii());
    EXPECT_EQ(jose.toString(), L"Jos\u00E9 \u0141");
}

TEST(LDAPAttributeValueTest, BervalKeepsAllBytesAndATrailingZero)
{
    char bytes[] = {'a', '\0', 'b', '\xFF'};
    berval bv{};
    bv.bv_len = sizeof bytes;
    bv.bv_val = bytes;
    LDAPAttributeValue value(&bv);
    EXPECT_EQ(value.getLength(), 4u);
    EXPECT_EQ(bytesOf(value), std::string(bytes, 4));
    EXPECT_EQ(value.getBytes()[4], '\0');
    EXPECT_NE(static_cast<const void*>(value.getBytes()), static_cast<const void*>(bytes));
    // The text stops at the zero byte.
    EXPECT_EQ(value.toString(), L"a");

    berval empty{};
    empty.bv_len = 0;
    empty.bv_val = bytes;
    LDAPAttributeValue emptyValue(&empty);
    EXPECT_EQ(emptyValue.getLength(), 0u);
    ASSERT_NE(emptyValue.getBytes(), nullptr);
    EXPECT_EQ(emptyValue.getBytes()[0], '\0');
    EXPECT_EQ(emptyValue.toString(), L"");
}

TEST(LDAPAttributeValueTest, InvalidUtf8ShowsReplacementCharacters)
{
    LDAPAttributeValue value("\xFF\xFEok", 4);
    std::wstring text = value.toString();
    EXPECT_NE(text.find(L"ok"), std::wstring::npos);
    EXPECT_NE(text.find(L'\uFFFD'), std::wstring::npos);
}

TEST(LDAPAttributeValueTest, EqualityComparesLengthAndBytes)
{
    EXPECT_TRUE(LDAPAttributeValue("abc", 3) == LDAPAttributeValue(std::wstring(L"abc")));
    EXPECT_FALSE(LDAPAttributeValue("abc", 3) == LDAPAttributeValue("abd", 3));
    EXPECT_FALSE(LDAPAttributeValue("abc", 3) == LDAPAttributeValue("abc\0", 4));
    EXPECT_TRUE(LDAPAttributeValue("a\0b", 3) != LDAPAttributeValue("a\0c", 3));
    EXPECT_TRUE(LDAPAttributeValue() == LDAPAttributeValue(std::wstring()));
    berval empty{};
    EXPECT_TRUE(LDAPAttributeValue() == LDAPAttributeValue(&empty));
    EXPECT_FALSE(LDAPAttributeValue().containsNonAscii());
    EXPECT_TRUE(LDAPAttributeValue("\x7F\x80", 2).containsNonAscii());
    EXPECT_FALSE(LDAPAttributeValue("\x7F", 1).containsNonAscii());
}

TEST(LDAPAttributeValueTest, LoadFromFileReplacesTheBytes)
{
    TempDir dir;
    std::string bytes("\x00\x01photo\x00\xFF", 9);
    writeFile(dir.file("value.bin"), bytes);
    dirtest::ScriptedMessageBoxes boxes;

    gc_ptr<LDAPAttributeValue> value = new LDAPAttributeValue(std::wstring(L"old"));
    EXPECT_EQ(value->loadFromFile(TempDir::wide(dir.file("value.bin"))), 0);
    EXPECT_EQ(bytesOf(*value), bytes);
    EXPECT_EQ(value->getBytes()[9], '\0');
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST(LDAPAttributeValueTest, LoadFailuresWithoutMessageLeaveTheValue)
{
    TempDir dir;
    writeFile(dir.file("empty.bin"), "");
    dirtest::ScriptedMessageBoxes boxes;
    LDAPAttributeValue value(std::wstring(L"keep"));

    EXPECT_EQ(value.loadFromFile(TempDir::wide(dir.file("empty.bin"))), -1);
    EXPECT_EQ(value.loadFromFile(TempDir::wide(dir.file("missing.bin"))), -1);
    EXPECT_EQ(value.loadFromFile(TempDir::wide(dir.file(""))), -1);  // the directory
    EXPECT_EQ(value.loadFromFile(L""), -1);
    EXPECT_EQ(bytesOf(value), "keep");
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST(LDAPAttributeValueTest, FileTooLargeForAValueShowsTheAllocationBox)
{
    TempDir dir;
    std::string path = dir.file("huge.bin");
    int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    // Sparse: takes no space, but no value can hold it.
    ASSERT_EQ(::ftruncate(fd, 5LL * 1024 * 1024 * 1024), 0);
    ::close(fd);

    dirtest::ScriptedMessageBoxes boxes;
    LDAPAttributeValue value(std::wstring(L"keep"));
    EXPECT_EQ(value.loadFromFile(TempDir::wide(path)), -1);
    EXPECT_EQ(bytesOf(value), "keep");
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, L"perror(\"read_malloc\")");
    EXPECT_EQ(boxes.boxes()[0].caption, L"Error");
    EXPECT_EQ(boxes.boxes()[0].buttons, util::BoxButtons::OkCancel);
}

TEST(LDAPAttributeValueTest, SaveWritesExactlyTheBytes)
{
    TempDir dir;
    dirtest::ScriptedMessageBoxes boxes;
    std::string bytes("a\0b\xFF", 4);
    LDAPAttributeValue value(bytes.data(), bytes.size());
    std::string path = dir.file("out.bin");
    writeFile(path, "much longer old content");
    EXPECT_EQ(value.saveToFile(TempDir::wide(path)), 0);
    EXPECT_EQ(readFile(path), bytes);

    // Round trip through a file named in non-ASCII letters.
    std::wstring widePath = TempDir::wide(dir.file("")) + L"Jos\u00E9.bin";
    EXPECT_EQ(value.saveToFile(widePath), 0);
    LDAPAttributeValue loaded;
    EXPECT_EQ(loaded.loadFromFile(widePath), 0);
    EXPECT_TRUE(loaded == value);
    EXPECT_TRUE(fileExists(dir.file("Jos\xC3\xA9.bin")));
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST(LDAPAttributeValueTest, SavingAnEmptyValueCreatesNoFile)
{
    TempDir dir;
    dirtest::ScriptedMessageBoxes boxes;
    LDAPAttributeValue empty;
    EXPECT_EQ(empty.saveToFile(TempDir::wide(dir.file("none.bin"))), -1);
    EXPECT_FALSE(fileExists(dir.file("none.bin")));
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST(LDAPAttributeValueTest, SaveFailuresShowTheirBoxes)
{
    TempDir dir;
    dirtest::ScriptedMessageBoxes boxes;
    LDAPAttributeValue value(std::wstring(L"data"));

    EXPECT_EQ(value.saveToFile(TempDir::wide(dir.file("no/such/dir.bin"))), -1);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, L"error(\"write fopen\")");
    EXPECT_EQ(boxes.boxes()[0].caption, L"Error");
    EXPECT_EQ(boxes.boxes()[0].buttons, util::BoxButtons::OkCancel);

    // A full device takes the buffered write and fails when it is flushed.
    if (fileExists("/dev/full")) {
        boxes.clear();
        EXPECT_EQ(value.saveToFile(L"/dev/full"), -1);
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, L"error(\"f_write\")");
    }
}

} // namespace
