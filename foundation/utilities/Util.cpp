#include "utilities/Util.h"

#include "faults/FaultReport.h"
#include "logging/Trace.h"
#include "utilities/MessageBox.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <unistd.h>

namespace util {

namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;

bool isKnownCodePage(unsigned int codePage)
{
    return codePage == CP_UTF8 || codePage == CP_ACP;
}

// Surrogates and values beyond U+10FFFF have no UTF-8 form.
char32_t scalarValue(wchar_t c)
{
    auto value = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
    if ((value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF)
        return REPLACEMENT;
    return static_cast<char32_t>(value);
}

// Feeds the bytes of text[0, count) to sink, stopping at the first zero.
template <class Sink>
void encodeWide(const wchar_t* text, std::size_t count, unsigned int codePage, Sink&& sink)
{
    for (std::size_t i = 0; i < count && text[i] != 0; ++i) {
        char32_t c = scalarValue(text[i]);
        if (codePage == CP_ACP) {
            sink(c <= 0xFF ? static_cast<char>(c) : '?');
        } else if (c < 0x80) {
            sink(static_cast<char>(c));
        } else if (c < 0x800) {
            sink(static_cast<char>(0xC0 | (c >> 6)));
            sink(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            sink(static_cast<char>(0xE0 | (c >> 12)));
            sink(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            sink(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            sink(static_cast<char>(0xF0 | (c >> 18)));
            sink(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            sink(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            sink(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
}

// Feeds the characters of bytes[0, count) to sink, stopping at the first
// zero. Each maximal ill-formed UTF-8 subsequence becomes one U+FFFD.
template <class Sink>
void decodeBytes(const char* bytes, std::size_t count, unsigned int codePage, Sink&& sink)
{
    const auto* in = reinterpret_cast<const unsigned char*>(bytes);
    std::size_t i = 0;
    while (i < count && in[i] != 0) {
        unsigned char lead = in[i];
        if (codePage == CP_ACP || lead < 0x80) {
            sink(static_cast<wchar_t>(lead));
            ++i;
            continue;
        }
        int need = 0;
        char32_t c = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            need = 1;
            c = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            need = 2;
            c = lead & 0x0F;
            if (lead == 0xE0)
                low = 0xA0;  // overlong
            if (lead == 0xED)
                high = 0x9F;  // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            need = 3;
            c = lead & 0x07;
            if (lead == 0xF0)
                low = 0x90;  // overlong
            if (lead == 0xF4)
                high = 0x8F;  // beyond U+10FFFF
        } else {
            sink(static_cast<wchar_t>(REPLACEMENT));
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        int taken = 0;
        while (taken < need && j < count && in[j] >= low && in[j] <= high) {
            c = (c << 6) | (in[j] & 0x3F);
            low = 0x80;
            high = 0xBF;
            ++taken;
            ++j;
        }
        sink(static_cast<wchar_t>(taken == need ? c : REPLACEMENT));
        i = j;
    }
}

std::size_t countOf(const wchar_t* text, int count)
{
    return count == -1 ? std::wcslen(text) : static_cast<std::size_t>(count);
}

std::size_t countOf(const char* bytes, int count)
{
    return count == -1 ? std::strlen(bytes) : static_cast<std::size_t>(count);
}

std::string wideToBytesImpl(const wchar_t* text, std::size_t count, unsigned int codePage)
{
    if (text == nullptr || count == 0 || !isKnownCodePage(codePage))
        return std::string();
    std::size_t needed = 0;
    encodeWide(text, count, codePage, [&needed](char) { ++needed; });
    if (needed == 0)
        return std::string();
    std::string buffer(needed + 1, '\0');
    std::size_t written = 0;
    encodeWide(text, count, codePage, [&](char b) {
        if (written < needed)
            buffer[written] = b;
        ++written;
    });
    if (written != needed)
        showInternalError(L"bug in wide char");
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

std::wstring bytesToWideImpl(const char* bytes, std::size_t count, unsigned int codePage)
{
    if (bytes == nullptr || count == 0 || !isKnownCodePage(codePage))
        return std::wstring();
    std::size_t needed = 0;
    decodeBytes(bytes, count, codePage, [&needed](wchar_t) { ++needed; });
    if (needed == 0)
        return std::wstring();
    std::wstring buffer(needed + 1, L'\0');
    std::size_t written = 0;
    decodeBytes(bytes, count, codePage, [&](wchar_t c) {
        if (written < needed)
            buffer[written] = c;
        ++written;
    });
    if (written != needed)
        showInternalError(L"bug in multi byte");
    buffer.resize(std::wcslen(buffer.c_str()));
    return buffer;
}

// A bounded wide text in caller-provided storage; never allocates, so the
// fatal-error report can use it inside a signal handler.
class FixedText {
public:
    FixedText(wchar_t* storage, std::size_t capacity) : m_pData(storage), m_iCapacity(capacity)
    {
        m_pData[0] = 0;
    }

    void append(const wchar_t* text)
    {
        for (; text != nullptr && *text != 0; ++text)
            put(*text);
    }
    void appendAscii(const char* text)
    {
        for (; text != nullptr && *text != 0; ++text)
            put(static_cast<wchar_t>(static_cast<unsigned char>(*text)));
    }
    void appendInt(int value)
    {
        char digits[16];
        int n = 0;
        long long v = value;
        bool negative = v < 0;
        if (negative)
            v = -v;
        do {
            digits[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v != 0);
        if (negative)
            put(L'-');
        while (n > 0)
            put(static_cast<wchar_t>(digits[--n]));
    }

    const wchar_t* c_str() const { return m_pData; }
    std::size_t size() const { return m_iLength; }

private:
    void put(wchar_t c)
    {
        if (m_iLength + 1 >= m_iCapacity)
            return;
        m_pData[m_iLength++] = c;
        m_pData[m_iLength] = 0;
    }

    wchar_t* m_pData;
    std::size_t m_iCapacity;
    std::size_t m_iLength = 0;
};

// Writes wide text to standard error as UTF-8 without allocating.
void writeStandardError(const wchar_t* text, std::size_t length)
{
    char chunk[1024];
    std::size_t used = 0;
    auto flush = [&]() {
        std::size_t done = 0;
        while (done < used) {
            ssize_t n = ::write(STDERR_FILENO, chunk + done, used - done);
            if (n <= 0) {
                if (n < 0 && errno == EINTR)
                    continue;
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        used = 0;
    };
    encodeWide(text, length, CP_UTF8, [&](char b) {
        if (used == sizeof chunk)
            flush();
        chunk[used++] = b;
    });
    flush();
}

void writeStandardError(const char* text)
{
    std::size_t length = std::strlen(text);
    while (length > 0) {
        ssize_t n = ::write(STDERR_FILENO, text, length);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            return;
        }
        text += n;
        length -= static_cast<std::size_t>(n);
    }
}

const wchar_t* faultTextOf(unsigned int code)
{
    switch (code) {
    case 0x80000002:
        return L"EXCEPTION_DATATYPE_MISALIGNMENT: The thread tried to read or write data that is "
               L"misaligned on hardware that does not provide alignment. For example, 16-bit "
               L"values must be aligned on 2-byte boundaries; 32-bit values on 4-byte boundaries, "
               L"and so on.";
    case 0x80000003:
        return L"EXCEPTION_BREAKPOINT: A breakpoint was encountered.";
    case 0x80000004:
        return L"EXCEPTION_SINGLE_STEP: A trace trap or other single-instruction mechanism "
               L"signaled that one instruction has been executed.";
    case 0xC0000005:
        return L"EXCEPTION_ACCESS_VIOLATION: The thread tried to read from or write to a virtual "
               L"address for which it does not have the appropriate access.";
    case 0xC0000006:
        return L"EXCEPTION_IN_PAGE_ERROR: The thread tried to access a page that was not present, "
               L"and the system was unable to load the page. For example, this exception might "
               L"occur if a network connection is lost while running a program over the network.";
    case 0xC000001D:
        return L"EXCEPTION_ILLEGAL_INSTRUCTION: The thread tried to execute an invalid "
               L"instruction.";
    case 0xC0000025:
        return L"EXCEPTION_NONCONTINUABLE_EXCEPTION: The thread tried to continue execution after "
               L"a noncontinuable exception occurred.";
    case 0xC0000026:
        return L"EXCEPTION_INVALID_DISPOSITION: An exception handler returned an invalid "
               L"disposition to the exception dispatcher. Programmers using a high-level language "
               L"such as C should never encounter this exception.";
    case 0xC000008C:
        return L"EXCEPTION_ARRAY_BOUNDS_EXCEEDED: The thread tried to access an array element "
               L"that is out of bounds and the underlying hardware supports bounds checking.";
    case 0xC000008D:
        return L"EXCEPTION_FLT_DENORMAL_OPERAND: One of the operands in a floating-point "
               L"operation is denormal. A denormal value is one that is too small to represent as "
               L"a standard floating-point value.";
    case 0xC000008E:
        return L"EXCEPTION_FLT_DIVIDE_BY_ZERO: The thread tried to divide a floating-point value "
               L"by a floating-point divisor of zero.";
    case 0xC000008F:
        return L"EXCEPTION_FLT_INEXACT_RESULT: The result of a floating-point operation cannot be "
               L"represented exactly as a decimal fraction.";
    case 0xC0000090:
        return L"EXCEPTION_FLT_INVALID_OPERATION: This exception represents any floating-point "
               L"exception not included in this list.";
    case 0xC0000091:
        return L"EXCEPTION_FLT_OVERFLOW: The exponent of a floating-point operation is greater "
               L"than the magnitude allowed by the corresponding type.";
    case 0xC0000092:
        return L"EXCEPTION_FLT_STACK_CHECK: The stack overflowed or underflowed as the result of a "
               L"floating-point operation.";
    case 0xC0000093:
        return L"EXCEPTION_FLT_UNDERFLOW: The exponent of a floating-point operation is less than "
               L"the magnitude allowed by the corresponding type.";
    case 0xC0000094:
        return L"EXCEPTION_INT_DIVIDE_BY_ZERO: The thread tried to divide an integer value by an "
               L"integer divisor of zero.";
    case 0xC0000095:
        return L"EXCEPTION_INT_OVERFLOW: The result of an integer operation caused a carry out of "
               L"the most significant bit of the result.";
    case 0xC0000096:
        return L"EXCEPTION_PRIV_INSTRUCTION: The thread tried to execute an instruction whose "
               L"operation is not allowed in the current machine mode.";
    case 0xC00000FD:
        return L"EXCEPTION_STACK_OVERFLOW: The thread used up its stack.";
    default:
        return L"UNKNOWN_EXCEPTION: Unknown exception";
    }
}

// Only one report runs; a second thread that faults meanwhile waits for the
// process to end, a fault inside the report itself ends the process at once.
std::atomic<bool> g_bReporting{false};
thread_local bool t_bReporting = false;

void enterReport()
{
    if (t_bReporting)
        ::_exit(0);
    t_bReporting = true;
    if (g_bReporting.exchange(true)) {
        for (;;)
            ::pause();
    }
}

[[noreturn]] void showAndExit(const wchar_t* text, std::size_t length, BoxIcon icon)
{
    writeStandardError(text, length);
    writeStandardError("\n");
    if (!isStandardErrorMessageBoxService()) {
        try {
            messageBox(L"Exception", std::wstring(text, length), icon, BoxButtons::Ok);
        } catch (...) {
            // The process ends anyway; standard error has the report.
        }
    }
    std::fflush(nullptr);
    ::_exit(0);
}

wchar_t g_reportStorage[1024];
wchar_t g_fullReportStorage[32768];

void appendTraceName(const wchar_t* name, void* context)
{
    auto* text = static_cast<FixedText*>(context);
    text->append(name);
    text->append(L"\n");
}

} // namespace

void showInternalError(const std::wstring& text)
{
    messageBox(L"Message", text, BoxIcon::None, BoxButtons::OkCancel);
}

std::string wideToBytes(const wchar_t* text, int count, unsigned int codePage)
{
    if (text == nullptr || (count <= 0 && count != -1))
        return std::string();
    return wideToBytesImpl(text, countOf(text, count), codePage);
}

std::wstring bytesToWide(const char* bytes, int count, unsigned int codePage)
{
    if (bytes == nullptr || (count <= 0 && count != -1))
        return std::wstring();
    return bytesToWideImpl(bytes, countOf(bytes, count), codePage);
}

std::string toUtf8(const std::wstring& text)
{
    return wideToBytesImpl(text.c_str(), text.size(), CP_UTF8);
}

std::wstring fromUtf8(const std::string& bytes)
{
    return bytesToWideImpl(bytes.c_str(), bytes.size(), CP_UTF8);
}

std::string toAnsi(const std::wstring& text)
{
    return wideToBytesImpl(text.c_str(), text.size(), CP_ACP);
}

std::wstring fromAnsi(const std::string& bytes)
{
    return bytesToWideImpl(bytes.c_str(), bytes.size(), CP_ACP);
}

std::string base64Encode(const unsigned char* bytes, std::size_t count)
{
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string result;
    if (bytes == nullptr || count == 0)
        return result;
    if (count > (result.max_size() / 4) * 3 - 3) {
        messageBox(L"base64 failed", L"base64 failed", BoxIcon::None, BoxButtons::OkCancel);
        return result;
    }
    result.reserve((count + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= count; i += 3) {
        unsigned int group = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
        result += alphabet[(group >> 18) & 0x3F];
        result += alphabet[(group >> 12) & 0x3F];
        result += alphabet[(group >> 6) & 0x3F];
        result += alphabet[group & 0x3F];
    }
    if (count - i == 1) {
        unsigned int group = bytes[i] << 16;
        result += alphabet[(group >> 18) & 0x3F];
        result += alphabet[(group >> 12) & 0x3F];
        result += "==";
    } else if (count - i == 2) {
        unsigned int group = (bytes[i] << 16) | (bytes[i + 1] << 8);
        result += alphabet[(group >> 18) & 0x3F];
        result += alphabet[(group >> 12) & 0x3F];
        result += alphabet[(group >> 6) & 0x3F];
        result += '=';
    }
    return result;
}

std::size_t base64DecodedBound(std::size_t length)
{
    return length / 4 * 3 + 3;
}

std::size_t base64DecodeTo(const char* text, std::size_t length, unsigned char* out)
{
    auto sextet = [](unsigned char c) -> int {
        if (c >= 'A' && c <= 'Z')
            return c - 'A';
        if (c >= 'a' && c <= 'z')
            return c - 'a' + 26;
        if (c >= '0' && c <= '9')
            return c - '0' + 52;
        if (c == '+')
            return 62;
        if (c == '/')
            return 63;
        return -1;
    };
    std::size_t written = 0;
    unsigned int group = 0;
    int taken = 0;
    for (std::size_t i = 0; i < length; ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == 0)
            break;
        int value = sextet(c);
        if (value < 0)
            continue;
        group = (group << 6) | static_cast<unsigned int>(value);
        if (++taken == 4) {
            out[written++] = static_cast<unsigned char>(group >> 16);
            out[written++] = static_cast<unsigned char>(group >> 8);
            out[written++] = static_cast<unsigned char>(group);
            group = 0;
            taken = 0;
        }
    }
    if (taken == 2) {
        out[written++] = static_cast<unsigned char>(group >> 4);
    } else if (taken == 3) {
        out[written++] = static_cast<unsigned char>(group >> 10);
        out[written++] = static_cast<unsigned char>(group >> 2);
    }
    return written;
}

std::vector<unsigned char> base64Decode(const std::string& text)
{
    std::vector<unsigned char> result;
    if (text.empty())
        return result;
    result.resize(base64DecodedBound(text.size()));
    result.resize(base64DecodeTo(text.data(), text.size(), result.data()));
    return result;
}

std::wstring trim(const std::wstring& text)
{
    std::size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos)
        return std::wstring();
    std::size_t last = text.find_last_not_of(L' ');
    return text.substr(first, last - first + 1);
}

namespace {

// A separator preceded by an odd number of backslashes is escaped (a DN
// value such as "cn=Smith\, John") and does not split.
bool isEscaped(const std::wstring& text, std::size_t pos)
{
    std::size_t backslashes = 0;
    while (pos > backslashes && text[pos - backslashes - 1] == L'\\')
        ++backslashes;
    return backslashes % 2 == 1;
}

} // namespace

std::wstring trimListPiece(const std::wstring& piece)
{
    std::size_t first = piece.find_first_not_of(L' ');
    if (first == std::wstring::npos)
        return std::wstring();
    std::size_t end = piece.size();
    while (end > first && piece[end - 1] == L' ' && !isEscaped(piece, end - 1))
        --end;
    return piece.substr(first, end - first);
}

std::vector<std::wstring> splitList(const std::wstring& text, const std::wstring& separator)
{
    std::vector<std::wstring> pieces;
    if (separator.empty()) {
        pieces.push_back(trimListPiece(text));
        return pieces;
    }
    std::size_t start = 0;
    std::size_t pos = text.find(separator);
    while (pos != std::wstring::npos) {
        if (!isEscaped(text, pos)) {
            pieces.push_back(trimListPiece(text.substr(start, pos - start)));
            start = pos + separator.size();
            pos = text.find(separator, start);
        } else {
            pos = text.find(separator, pos + 1);
        }
    }
    pieces.push_back(trimListPiece(text.substr(start)));
    return pieces;
}

std::wstring normalizeCommaList(const std::wstring& text)
{
    if (text.find(L',') == std::wstring::npos)
        return text;
    std::wstring result;
    result.reserve(text.size());
    bool first = true;
    for (const std::wstring& piece : splitList(text, L",")) {
        if (!first)
            result += L',';
        result += piece;
        first = false;
    }
    return result;
}

std::wstring reverseCommaList(const std::wstring& text, const std::wstring& separator)
{
    std::vector<std::wstring> pieces = splitList(text, separator);
    std::wstring result;
    result.reserve(text.size());
    for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) {
        if (it != pieces.rbegin())
            result += L',';
        result += *it;
    }
    return result;
}

namespace {

// Callers write "%s" for wide strings, as the platform's wide printf reads
// it; the C library here needs "%ls" (and "%lc") for that.
std::wstring widenConversions(const wchar_t* format)
{
    std::wstring result;
    for (const wchar_t* p = format; *p != 0; ++p) {
        result += *p;
        if (*p != L'%')
            continue;
        ++p;
        if (*p == L'%') {
            result += *p;
            continue;
        }
        // Flags, width, precision and length modifiers.
        bool hasLength = false;
        while (*p != 0 && std::wcschr(L"-+ #0123456789.*hlLqjzt", *p) != nullptr) {
            if (std::wcschr(L"hlLqjzt", *p) != nullptr)
                hasLength = true;
            result += *p++;
        }
        if (*p == 0)
            break;
        if ((*p == L's' || *p == L'c') && !hasLength)
            result += L'l';
        result += *p;
    }
    return result;
}

} // namespace

std::wstring formatWideV(const wchar_t* format, va_list arguments)
{
    if (format == nullptr)
        return std::wstring();
    const std::wstring pattern = widenConversions(format);
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list attempt;
        va_copy(attempt, arguments);
        const int written = std::vswprintf(buffer.data(), buffer.size(), pattern.c_str(), attempt);
        va_end(attempt);
        if (written >= 0)
            return std::wstring(buffer.data());
        // vswprintf gives no size hint; grow until it fits or is absurd.
        if (buffer.size() >= (std::size_t(1) << 20))
            return std::wstring();
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring trimChars(const std::wstring& text, const std::wstring& leading,
                       const std::wstring& trailing)
{
    if (text.empty())
        return std::wstring();
    std::size_t first = leading.empty() ? 0 : text.find_first_not_of(leading);
    if (first == std::wstring::npos)
        return std::wstring();
    std::size_t last = trailing.empty() ? text.size() - 1 : text.find_last_not_of(trailing);
    if (last == std::wstring::npos || last < first)
        return std::wstring();
    return text.substr(first, last - first + 1);
}

std::wstring showLastError(const std::wstring& caption)
{
    int code = errno;
    char buffer[256];
    // GNU strerror_r may return a static text instead of filling the buffer.
    const char* message = strerror_r(code, buffer, sizeof buffer);
    std::wstring text = L"Error " + std::to_wstring(code) + L": " + fromUtf8(message);
    messageBox(caption, text, BoxIcon::Information, BoxButtons::Ok);
    return text;
}

std::wstring faultText(unsigned int code)
{
    return faultTextOf(code);
}

bool isFatalReportInProgress()
{
    return g_bReporting.load();
}

void reportFatalError(unsigned int code, const std::wstring& file, int line,
                      const std::wstring& /*reason*/)
{
    detail::reportFault(code, file.c_str(), line, nullptr);
}

void reportErrorAndExit(const std::wstring& file, int line, const std::wstring& reason)
{
    enterReport();
    FixedText text(g_reportStorage, 255);
    text.append(L"Exception in ");
    text.append(file.c_str());
    text.append(L"\nat line: ");
    text.appendInt(line);
    text.append(L"\nreason: ");
    text.append(reason.c_str());
    text.append(L"\nThe program will now exit. No data has been lost.");
    showAndExit(text.c_str(), text.size(), BoxIcon::Error);
}

namespace detail {

void reportFault(unsigned int code, const wchar_t* file, int line, const char* extra)
{
    enterReport();
    FixedText head(g_reportStorage, 1024);
    head.append(L"Exception! Reason ");
    head.append(faultTextOf(code));
    head.append(L"\nFile: ");
    head.append(file);
    head.append(L", line: ");
    head.appendInt(line);
    head.append(L"\n\nThe program will now exit. No data was lost.\n"
                L"You may restart the program and continue your work.");

    FixedText report(g_fullReportStorage, sizeof g_fullReportStorage / sizeof(wchar_t));
    report.append(head.c_str());
    report.append(L"\n");
    traceVisit(&appendTraceName, &report);

    if (extra != nullptr) {
        writeStandardError(extra);
        writeStandardError("\n");
    }
    showAndExit(report.c_str(), report.size(), BoxIcon::None);
}

} // namespace detail

} // namespace util
