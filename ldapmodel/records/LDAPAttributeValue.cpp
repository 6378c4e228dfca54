#include "records/LDAPAttributeValue.h"

#include "faults/FaultGuard.h"
#include "ldif/LdifRecordWriter.h"
#include "logging/Trace.h"
#include "utilities/MessageBox.h"
#include "utilities/Util.h"

#include <lber.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace ldapmodel {

namespace {

constexpr std::size_t MAX_VALUE_LENGTH = std::numeric_limits<std::uint32_t>::max() - 1;

void fileErrorBox(const wchar_t* text)
{
    util::messageBox(L"Error", text, util::BoxIcon::None, util::BoxButtons::OkCancel);
}

// Closes its FILE* on every path; close() reports whether the data reached
// the file.
class OpenFile {
public:
    OpenFile(const std::string& path, const char* mode) : m_pFile(std::fopen(path.c_str(), mode)) {}
    ~OpenFile()
    {
        if (m_pFile != nullptr)
            std::fclose(m_pFile);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    std::FILE* get() const { return m_pFile; }
    bool close()
    {
        std::FILE* file = m_pFile;
        m_pFile = nullptr;
        return file == nullptr || std::fclose(file) == 0;
    }

private:
    std::FILE* m_pFile;
};

// Reads a whole regular file into a buffer with a zero byte after the data.
int readWholeFile(const std::wstring& path, std::unique_ptr<char[]>& buffer, std::size_t& length)
{
    buffer.reset();
    length = 0;
    std::string nativePath = util::toUtf8(path);
    struct stat status {};
    if (::stat(nativePath.c_str(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0)
        return -1;
    OpenFile file(nativePath, "rb");
    if (file.get() == nullptr)
        return -1;
    auto size = static_cast<unsigned long long>(status.st_size);
    std::unique_ptr<char[]> data;
    if (size <= MAX_VALUE_LENGTH)
        data.reset(new (std::nothrow) char[static_cast<std::size_t>(size) + 1]);
    if (data == nullptr) {
        fileErrorBox(L"perror(\"read_malloc\")");
        return -1;
    }
    auto count = static_cast<std::size_t>(size);
    if (std::fread(data.get(), 1, count, file.get()) != count) {
        fileErrorBox(L"perror(\"fread\")");
        return -1;
    }
    data[count] = '\0';
    file.close();
    buffer = std::move(data);
    length = count;
    return 0;
}

int writeWholeFile(const std::wstring& path, const char* bytes, std::size_t length)
{
    if (bytes == nullptr)
        return -1;
    OpenFile file(util::toUtf8(path), "wb");
    if (file.get() == nullptr) {
        fileErrorBox(L"error(\"write fopen\")");
        return -1;
    }
    // A failed close means the data did not all reach the file.
    if (std::fwrite(bytes, 1, length, file.get()) != length || !file.close()) {
        fileErrorBox(L"error(\"f_write\")");
        return -1;
    }
    return 0;
}

} // namespace

LDAPAttributeValue::LDAPAttributeValue() = default;

LDAPAttributeValue::LDAPAttributeValue(const char* bytes, std::size_t length)
{
    assign(bytes, length, false);
}

LDAPAttributeValue::LDAPAttributeValue(const std::wstring& text)
{
    std::string bytes = util::toUtf8(text);
    assign(bytes.data(), bytes.size(), false);
}

LDAPAttributeValue::LDAPAttributeValue(std::unique_ptr<char[]> buffer, std::size_t length)
{
    if (buffer == nullptr || length == 0)
        return;
    if (length > MAX_VALUE_LENGTH)
        throw std::length_error("attribute value too long");
    buffer[length] = '\0';
    m_pBuffer = std::move(buffer);
    m_uLength = static_cast<std::uint32_t>(length);
}

LDAPAttributeValue::LDAPAttributeValue(const berval* value)
{
    if (value != nullptr)
        assign(value->bv_val, value->bv_len, true);
}

LDAPAttributeValue::~LDAPAttributeValue() = default;

void LDAPAttributeValue::assign(const char* bytes, std::size_t length, bool keepEmptyBuffer)
{
    if (bytes == nullptr || length == 0) {
        m_pBuffer.reset(keepEmptyBuffer ? new char[1]{'\0'} : nullptr);
        m_uLength = 0;
        return;
    }
    if (length > MAX_VALUE_LENGTH)
        throw std::length_error("attribute value too long");
    // Every buffer keeps a zero byte after the counted bytes.
    std::unique_ptr<char[]> buffer(new char[length + 1]);
    std::memcpy(buffer.get(), bytes, length);
    buffer[length] = '\0';
    m_pBuffer = std::move(buffer);
    m_uLength = static_cast<std::uint32_t>(length);
}

std::string LDAPAttributeValue::getByteString() const
{
    if (m_pBuffer == nullptr)
        return std::string();
    return std::string(m_pBuffer.get(), m_uLength);
}

std::wstring LDAPAttributeValue::toString() const
{
    DIRLOOK_GUARD(L"LDAPAttributeValue");
    if (m_pBuffer == nullptr || m_uLength == 0)
        return std::wstring();
    const void* zero = std::memchr(m_pBuffer.get(), '\0', m_uLength);
    std::size_t count = zero != nullptr
                            ? static_cast<std::size_t>(static_cast<const char*>(zero) - m_pBuffer.get())
                            : m_uLength;
    return util::fromUtf8(std::string(m_pBuffer.get(), count));
}

bool LDAPAttributeValue::equals(const LDAPAttributeValue& other) const
{
    DIRLOOK_GUARD(L"LDAPAttributeValue");
    if (m_uLength != other.m_uLength)
        return false;
    if (m_uLength == 0)
        return true;
    return std::memcmp(m_pBuffer.get(), other.m_pBuffer.get(), m_uLength) == 0;
}

bool LDAPAttributeValue::containsNonAscii() const
{
    DIRLOOK_GUARD(L"LDAPAttributeValue");
    for (std::uint32_t i = 0; i < m_uLength; ++i) {
        if (static_cast<unsigned char>(m_pBuffer[i]) >= 0x80)
            return true;
    }
    return false;
}

int LDAPAttributeValue::loadFromFile(const std::wstring& path)
{
    DIRLOOK_GUARD(L"LDAPAttributeValue");
    util::TraceScope trace(L"LDAPAttributeValue::loadFromFile");
    std::unique_ptr<char[]> buffer;
    std::size_t length = 0;
    if (readWholeFile(path, buffer, length) != 0)
        return -1;
    m_pBuffer = std::move(buffer);
    m_uLength = static_cast<std::uint32_t>(length);
    return 0;
}

int LDAPAttributeValue::saveToFile(const std::wstring& path) const
{
    DIRLOOK_GUARD(L"LDAPAttributeValue");
    util::TraceScope trace(L"LDAPAttributeValue::saveToFile");
    return writeWholeFile(path, m_pBuffer.get(), m_uLength);
}

std::string LDAPAttributeValue::toLdifText(const std::wstring& attributeName, int lineWidth) const
{
    DIRLOOK_GUARD(L"LDAPAttributeValue");
    return LdifRecordWriter::valueTextForm(*this, attributeName, lineWidth);
}

std::string LDAPAttributeValue::toLdifBase64(const std::wstring& attributeName, int lineWidth) const
{
    DIRLOOK_GUARD(L"LDAPAttributeValue");
    return LdifRecordWriter::valueBase64Form(*this, attributeName, lineWidth);
}

} // namespace ldapmodel
