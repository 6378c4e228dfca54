#include "values/PasswordHash.h"

#include "utilities/Util.h"

#include <gnutls/crypto.h>
#include <gnutls/gnutls.h>

#include <crypt.h>
#include <sys/random.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace ldapmodel {

namespace {

using Bytes = std::vector<unsigned char>;

constexpr std::size_t kSaltLength = 8;
// Crypt costs beyond these are not computed.
constexpr long kMaxShaCryptRounds = 1000000;
constexpr int kMaxBcryptCost = 14;
constexpr unsigned long kMaxYescryptCost = 8;

struct DigestScheme {
    const char* name;
    gnutls_digest_algorithm_t algorithm;
    bool salted;
};

const DigestScheme kDigestSchemes[] = {
    {"SHA", GNUTLS_DIG_SHA1, false},      {"SSHA", GNUTLS_DIG_SHA1, true},
    {"SHA256", GNUTLS_DIG_SHA256, false}, {"SSHA256", GNUTLS_DIG_SHA256, true},
    {"SHA384", GNUTLS_DIG_SHA384, false}, {"SSHA384", GNUTLS_DIG_SHA384, true},
    {"SHA512", GNUTLS_DIG_SHA512, false}, {"SSHA512", GNUTLS_DIG_SHA512, true},
    {"MD5", GNUTLS_DIG_MD5, false},       {"SMD5", GNUTLS_DIG_MD5, true},
};

bool sameIgnoringCase(const std::string& left, const char* right)
{
    if (left.size() != std::strlen(right))
        return false;
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(left[i]))
            != std::toupper(static_cast<unsigned char>(right[i])))
            return false;
    }
    return true;
}

// Compares without stopping at the first difference.
bool sameBytes(const unsigned char* left, const unsigned char* right, std::size_t length)
{
    unsigned char difference = 0;
    for (std::size_t i = 0; i < length; ++i)
        difference |= static_cast<unsigned char>(left[i] ^ right[i]);
    return difference == 0;
}

bool sameText(const std::string& left, const std::string& right)
{
    return left.size() == right.size()
           && sameBytes(reinterpret_cast<const unsigned char*>(left.data()),
                        reinterpret_cast<const unsigned char*>(right.data()), left.size());
}

bool randomBytes(unsigned char* buffer, std::size_t length)
{
    std::size_t filled = 0;
    while (filled < length) {
        const ssize_t got = ::getrandom(buffer + filled, length - filled, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        filled += static_cast<std::size_t>(got);
    }
    return true;
}

// digest(password + salt); empty when GnuTLS fails.
Bytes digestOf(gnutls_digest_algorithm_t algorithm, const std::string& password,
               const unsigned char* salt, std::size_t saltLength)
{
    std::string input = password;
    input.append(reinterpret_cast<const char*>(salt), saltLength);
    Bytes digest(gnutls_hash_get_len(algorithm));
    const int result = gnutls_hash_fast(algorithm, input.data(), input.size(), digest.data());
    gnutls_memset(&input[0], 0, input.size());
    if (result != GNUTLS_E_SUCCESS || digest.empty())
        return Bytes();
    return digest;
}

// libcrypt's work area is large; it lives on the heap and is wiped after use.
struct CryptArea {
    crypt_data data{};
    ~CryptArea() { gnutls_memset(&data, 0, sizeof data); }
};

// crypt of password with setting; empty on failure (libcrypt answers a
// failure with a text starting with "*").
std::string cryptOf(const std::string& password, const std::string& setting)
{
    if (password.find('\0') != std::string::npos || setting.find('\0') != std::string::npos)
        return std::string();
    auto area = std::make_unique<CryptArea>();
    const char* hash = ::crypt_rn(password.c_str(), setting.c_str(), &area->data,
                                  static_cast<int>(sizeof area->data));
    if (hash == nullptr || *hash == '*')
        return std::string();
    return hash;
}

bool startsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// The yescrypt parameter field of a setting ("$y$j9T$salt" -> "j9T").
std::string yescryptParameters(const std::string& setting, std::size_t prefixLength)
{
    const std::size_t end = setting.find('$', prefixLength);
    return end == std::string::npos ? std::string() : setting.substr(prefixLength, end - prefixLength);
}

// The crypt methods checked here, and their costs within bounds.
bool isCheckableCrypt(const std::string& hash)
{
    if (hash.size() == 13 && hash[0] != '$' && hash[0] != '_')
        return true;  // traditional DES
    if (startsWith(hash, "$1$"))
        return true;
    if (startsWith(hash, "$5$") || startsWith(hash, "$6$")) {
        static const char kRounds[] = "rounds=";
        if (hash.compare(3, sizeof kRounds - 1, kRounds) != 0)
            return true;
        const std::size_t digits = 3 + sizeof kRounds - 1;
        char* end = nullptr;
        errno = 0;
        const long rounds = std::strtol(hash.c_str() + digits, &end, 10);
        return errno == 0 && end != hash.c_str() + digits && *end == '$'
               && rounds <= kMaxShaCryptRounds;
    }
    if (hash.size() > 7 && hash[0] == '$' && hash[1] == '2'
        && std::strchr("abxy", hash[2]) != nullptr && hash[3] == '$') {
        if (!std::isdigit(static_cast<unsigned char>(hash[4]))
            || !std::isdigit(static_cast<unsigned char>(hash[5])) || hash[6] != '$')
            return false;
        return (hash[4] - '0') * 10 + (hash[5] - '0') <= kMaxBcryptCost;
    }
    for (const char* prefix : {"$y$", "$gy$"}) {
        if (!startsWith(hash, prefix))
            continue;
        // The parameters must be those libcrypt itself writes for a cost
        // within the bound.
        const std::string parameters = yescryptParameters(hash, std::strlen(prefix));
        static const unsigned char kNoise[32] = {1};
        char setting[CRYPT_GENSALT_OUTPUT_SIZE];
        for (unsigned long cost = 1; cost <= kMaxYescryptCost; ++cost) {
            if (::crypt_gensalt_rn(prefix, cost, reinterpret_cast<const char*>(kNoise),
                                   static_cast<int>(sizeof kNoise), setting,
                                   static_cast<int>(sizeof setting))
                    != nullptr
                && yescryptParameters(setting, std::strlen(prefix)) == parameters)
                return true;
        }
        return false;
    }
    return false;
}

PasswordHash::Check checkDigest(const DigestScheme& scheme, const std::string& encoded,
                                const std::string& password)
{
    const std::vector<unsigned char> decoded = util::base64Decode(encoded);
    const std::size_t digestLength = gnutls_hash_get_len(scheme.algorithm);
    if (digestLength == 0)
        return PasswordHash::Check::Unsupported;
    if (scheme.salted ? decoded.size() <= digestLength : decoded.size() != digestLength)
        return PasswordHash::Check::Malformed;
    const Bytes digest = digestOf(scheme.algorithm, password, decoded.data() + digestLength,
                                  decoded.size() - digestLength);
    if (digest.size() != digestLength)
        return PasswordHash::Check::Unsupported;
    return sameBytes(digest.data(), decoded.data(), digestLength) ? PasswordHash::Check::Match
                                                                  : PasswordHash::Check::NoMatch;
}

} // namespace

const char* PasswordHash::schemePrefix(PasswordScheme scheme)
{
    switch (scheme) {
    case PasswordScheme::Ssha:
        return "{SSHA}";
    case PasswordScheme::Ssha256:
        return "{SSHA256}";
    case PasswordScheme::Ssha512:
        return "{SSHA512}";
    case PasswordScheme::CryptSha512:
        return "{CRYPT}";
    case PasswordScheme::ClearText:
        break;
    }
    return "";
}

std::string PasswordHash::make(PasswordScheme scheme, const std::string& password)
{
    gnutls_digest_algorithm_t algorithm = GNUTLS_DIG_SHA1;
    switch (scheme) {
    case PasswordScheme::ClearText:
        return password;
    case PasswordScheme::CryptSha512: {
        // Without random bytes of ours, libcrypt takes them from the system.
        char setting[CRYPT_GENSALT_OUTPUT_SIZE];
        if (::crypt_gensalt_rn("$6$", 0, nullptr, 0, setting, static_cast<int>(sizeof setting))
            == nullptr)
            return std::string();
        const std::string hash = cryptOf(password, setting);
        return hash.empty() ? std::string() : "{CRYPT}" + hash;
    }
    case PasswordScheme::Ssha:
        break;
    case PasswordScheme::Ssha256:
        algorithm = GNUTLS_DIG_SHA256;
        break;
    case PasswordScheme::Ssha512:
        algorithm = GNUTLS_DIG_SHA512;
        break;
    }
    unsigned char salt[kSaltLength];
    if (!randomBytes(salt, sizeof salt))
        return std::string();
    Bytes packed = digestOf(algorithm, password, salt, sizeof salt);
    if (packed.empty())
        return std::string();
    packed.insert(packed.end(), salt, salt + sizeof salt);
    return schemePrefix(scheme) + util::base64Encode(packed.data(), packed.size());
}

std::string PasswordHash::schemeOf(const std::string& stored)
{
    if (stored.empty() || stored[0] != '{')
        return std::string();
    const std::size_t close = stored.find('}');
    return close == std::string::npos ? std::string() : stored.substr(0, close + 1);
}

std::string PasswordHash::maskedText(const std::string& stored)
{
    const std::string scheme = schemeOf(stored);
    return scheme.empty() ? std::string("**** (clear text)") : scheme + " ****";
}

PasswordHash::Check PasswordHash::check(const std::string& stored, const std::string& password)
{
    const std::string scheme = schemeOf(stored);
    if (scheme.empty())
        return sameText(stored, password) ? Check::Match : Check::NoMatch;
    const std::string name = scheme.substr(1, scheme.size() - 2);
    const std::string rest = stored.substr(scheme.size());
    for (const DigestScheme& digestScheme : kDigestSchemes) {
        if (sameIgnoringCase(name, digestScheme.name))
            return checkDigest(digestScheme, rest, password);
    }
    if (sameIgnoringCase(name, "CLEARTEXT"))
        return sameText(rest, password) ? Check::Match : Check::NoMatch;
    if (sameIgnoringCase(name, "CRYPT")) {
        if (!isCheckableCrypt(rest))
            return Check::Unsupported;
        const std::string hash = cryptOf(password, rest);
        if (hash.empty())
            return Check::Malformed;
        return sameText(hash, rest) ? Check::Match : Check::NoMatch;
    }
    return Check::Unsupported;
}

} // namespace ldapmodel
