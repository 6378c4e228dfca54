// Feeds arbitrary bytes through Base64 decoding and the text conversions.
#include "utilities/MessageBox.h"
#include "utilities/Util.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Any box here means a conversion mismatch: a bug.
class NoBoxes : public util::MessageBoxService {
public:
    util::BoxAnswer show(const util::MessageBoxRequest&) override { std::abort(); }
};

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static NoBoxes noBoxes;
    util::setMessageBoxService(&noBoxes);

    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // Base64: decoding tolerates anything; encode-decode is lossless.
    std::vector<unsigned char> decoded = util::base64Decode(bytes);
    std::string encoded = util::base64Encode(decoded.data(), decoded.size());
    check(encoded.size() == (decoded.size() + 2) / 3 * 4);
    check(encoded.find('\n') == std::string::npos);
    check(util::base64Decode(encoded) == decoded);
    check(util::base64Decode(util::base64Encode(data, size))
          == std::vector<unsigned char>(data, data + size));

    // UTF-8: whatever decodes re-encodes and decodes to the same text.
    const int count = static_cast<int>(size);
    std::wstring wide = util::bytesToWide(bytes.data(), count, util::CP_UTF8);
    check(wide.size() <= size);
    check(wide.find(L'\0') == std::wstring::npos);
    std::string utf8 = util::wideToBytes(wide.c_str(), static_cast<int>(wide.size()), util::CP_UTF8);
    check(util::fromUtf8(utf8) == wide);
    check(util::toUtf8(wide) == utf8);
    // Valid input comes back byte for byte (up to the first zero).
    if (wide.find(static_cast<wchar_t>(0xFFFD)) == std::wstring::npos)
        check(utf8 == std::string(bytes.c_str()));

    // Wide text built from the raw bytes, surrogates and out-of-range values
    // included, always encodes.
    std::wstring raw;
    for (std::size_t i = 0; i + 4 <= size; i += 4) {
        std::uint32_t value = static_cast<std::uint32_t>(data[i]) | (data[i + 1] << 8)
                              | (data[i + 2] << 16) | (static_cast<std::uint32_t>(data[i + 3]) << 24);
        raw += static_cast<wchar_t>(value);
    }
    std::string rawUtf8 = util::toUtf8(raw);
    std::wstring back = util::fromUtf8(rawUtf8);
    check(util::toUtf8(back) == rawUtf8);

    // The 8-bit page holds every byte.
    std::wstring latin = util::bytesToWide(bytes.data(), count, util::CP_ACP);
    check(util::wideToBytes(latin.c_str(), -1, util::CP_ACP) == std::string(bytes.c_str()));

    // Lists never fail.
    std::wstring list = util::normalizeCommaList(latin);
    check(list.size() <= latin.size());
    util::reverseCommaList(latin, L",");
    util::trimChars(latin, L" '(", L" ')");

    util::setMessageBoxService(nullptr);
    return 0;
}
