// libFuzzer target: the value viewers' readers over arbitrary bytes and over
// the sample certificate with bytes changed or cut: certificates, times,
// password values and image signatures. A certificate that reads must read
// again from its own DER and PEM forms with the same fingerprint.
#include "values/CertificateSummary.h"
#include "values/GeneralizedTime.h"
#include "values/ImageKind.h"
#include "values/PasswordHash.h"

#include "FuzzSeeds.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using ldapmodel::CertificateSummary;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// The seed with the input's byte pairs (position, mask) XORed in, or cut
// at the length the first two bytes give.
std::vector<unsigned char> changedSeed(const unsigned char* seed, std::size_t seedSize,
                                       const std::uint8_t* data, std::size_t size, bool cut)
{
    std::vector<unsigned char> bytes(seed, seed + seedSize);
    if (cut) {
        const std::size_t length = size >= 2 ? ((data[0] << 8) | data[1]) % (seedSize + 1) : 0;
        bytes.resize(length);
        return bytes;
    }
    for (std::size_t i = 0; i + 2 < size; i += 3) {
        const std::size_t position = ((data[i] << 8) | data[i + 1]) % seedSize;
        bytes[position] ^= data[i + 2];
    }
    return bytes;
}

void readCertificate(const unsigned char* bytes, std::size_t size)
{
    CertificateSummary summary;
    if (!summary.read(bytes, size)) {
        require(!summary.getError().empty() && summary.getDer().empty());
        return;
    }
    require(!summary.getDer().empty() && !summary.getPem().empty());
    require(!summary.getSha256Fingerprint().empty());
    for (const std::string* form : {&summary.getDer(), &summary.getPem()}) {
        CertificateSummary again;
        require(again.read(reinterpret_cast<const unsigned char*>(form->data()), form->size()));
        require(again.getSha256Fingerprint() == summary.getSha256Fingerprint());
        require(again.getDer() == summary.getDer());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t mode = data[0] % 3;
    ++data;
    --size;
    if (mode == 0) {
        readCertificate(data, size);
    } else {
        const std::vector<unsigned char> bytes =
            changedSeed(kSeedCertificate, sizeof kSeedCertificate, data, size, mode == 2);
        readCertificate(bytes.data(), bytes.size());
    }

    const std::string text(reinterpret_cast<const char*>(data), size);
    ldapmodel::GeneralizedTime time;
    if (time.parse(text))
        require(time.getMilliseconds() >= 0 && time.getMilliseconds() < 1000);

    // Crypt hashes cost time by design; the digest schemes and clear text
    // are looked at.
    std::string scheme = ldapmodel::PasswordHash::schemeOf(text);
    for (char& c : scheme)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (scheme != "{CRYPT}") {
        const auto check = ldapmodel::PasswordHash::check(text, "secret");
        require(scheme.empty() ? check != ldapmodel::PasswordHash::Check::Unsupported : true);
    }
    require(ldapmodel::PasswordHash::maskedText(text).find("****") != std::string::npos);

    const auto kind = ldapmodel::detectImageKind(data, size);
    require((kind == ldapmodel::ImageKind::None) == (*ldapmodel::imageKindName(kind) == '\0'));
    return 0;
}
