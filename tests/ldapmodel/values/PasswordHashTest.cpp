// userPassword values: every scheme made here checks against its password
// and not another; values made by slappasswd and openssl check as they
// should; unknown, costly and malformed values are told apart.

#include "values/PasswordHash.h"

#include "support/TestDirectoryServer.h"

#include <crypt.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using dirtest::TestDirectoryServer;
using ldapmodel::PasswordHash;
using ldapmodel::PasswordScheme;
using Check = ldapmodel::PasswordHash::Check;

namespace {

const std::string kPassword = "pa ss\xE2\x82\xACword";  // "pa ss€word" in UTF-8

TEST(PasswordHash, EachSchemeChecksItsOwnPasswordOnly)
{
    struct Case {
        PasswordScheme scheme;
        const char* prefix;
        std::size_t decodedLength;  // digest and salt; 0: not Base64
    };
    const Case cases[] = {
        {PasswordScheme::Ssha, "{SSHA}", 20 + 8},
        {PasswordScheme::Ssha256, "{SSHA256}", 32 + 8},
        {PasswordScheme::Ssha512, "{SSHA512}", 64 + 8},
        {PasswordScheme::CryptSha512, "{CRYPT}$6$", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.prefix);
        const std::string value = PasswordHash::make(c.scheme, kPassword);
        ASSERT_EQ(value.rfind(c.prefix, 0), 0u) << value;
        if (c.decodedLength != 0) {
            EXPECT_EQ((value.size() - std::string(c.prefix).size()) / 4 * 3,
                      (c.decodedLength + 2) / 3 * 3);
        }
        EXPECT_EQ(PasswordHash::check(value, kPassword), Check::Match);
        EXPECT_EQ(PasswordHash::check(value, kPassword + "x"), Check::NoMatch);
        EXPECT_EQ(PasswordHash::check(value, ""), Check::NoMatch);
        // A fresh salt each time.
        EXPECT_NE(PasswordHash::make(c.scheme, kPassword), value);
        EXPECT_EQ(PasswordHash::maskedText(value),
                  PasswordHash::schemeOf(value) + " ****");
    }
    EXPECT_EQ(PasswordHash::make(PasswordScheme::ClearText, kPassword), kPassword);
    EXPECT_EQ(PasswordHash::check(kPassword, kPassword), Check::Match);
    EXPECT_EQ(PasswordHash::check(kPassword, "pa ss"), Check::NoMatch);
    EXPECT_EQ(PasswordHash::maskedText(kPassword), "**** (clear text)");
    // libcrypt reads C strings: a zero byte would cut the password short.
    EXPECT_EQ(PasswordHash::make(PasswordScheme::CryptSha512, std::string("ab\0cd", 5)), "");
}

TEST(PasswordHash, ValuesOfOtherToolsCheckAsTheyShould)
{
    // Made with slappasswd (pw-sha2 loaded for the SHA-2 ones) and
    // "openssl passwd", all for kPassword.
    const char* const made[] = {
        "{SSHA}Wn0s7fCZXxPqMA9yb4xYv+ZKiUeRgdRp",
        "{SHA}LWtnxL9MiIy3TwlydZba7NmiZYI=",
        "{MD5}6mbksC+1zN+wZDpSWaV2ow==",
        "{SMD5}YQ7+psNYmv2u37bgZyekZvEXvNw=",
        "{SSHA512}GoJMVi97w6xdhbI0jW8UJUbtPW3/DqK50ZPhRrOZZ3sOHOAhcTUXv7tpORkeF9uuS0si06pWnnPY/"
        "g9JnZhflWQhWNTU0G56",
        "{SHA256}EIQHlERhPy+3eEIa1xg79FV63WhzKWaVszYqPWRJ3Vk=",
        "{CRYPT}$6$bTP/ZsXRTCZ1JQZO$6gxQwotN0WNbJoJfntbsspD2HTnqWAnd/DWEmGGKagFItGmDrwXidsYB1Jdm4QvNJ."
        "952ZknwCDqrcrStDacv1",
        "{CRYPT}$5$1XHxVebziFVmrvcB$eKEs4dUUmU/DszAOMiIKSLNxUcWqAPcBhLDJ3GFg2r5",
        "{crypt}$1$K2tqbfzr$DJ0yA2uxzL1AO3NEBhnF71",
        "{ssha}Wn0s7fCZXxPqMA9yb4xYv+ZKiUeRgdRp",
    };
    for (const char* value : made) {
        SCOPED_TRACE(value);
        EXPECT_EQ(PasswordHash::check(value, kPassword), Check::Match);
        EXPECT_EQ(PasswordHash::check(value, "password"), Check::NoMatch);
    }
    // The sample directory's hash of its user's password.
    EXPECT_EQ(PasswordHash::check("{SSHA}IuDgJ6HdltoCmac51J+HXODirGBDeBwx",
                                  dirtest::sample::kUser02Password),
              Check::Match);
    // The crypt_blowfish test vector.
    EXPECT_EQ(PasswordHash::check("{CRYPT}$2a$05$CCCCCCCCCCCCCCCCCCCCC.E5YPO9kmyuRGyh0XouQYb4YMJKvyOeW",
                                  "U*U"),
              Check::Match);

    // And the other way round: slappasswd's own check of a value made here.
    std::string output;
    const std::string value = PasswordHash::make(PasswordScheme::Ssha, kPassword);
    ASSERT_EQ(TestDirectoryServer::runProcess({"slappasswd", "-T", "/dev/stdin", "-h", "{SSHA}",
                                               "-n"},
                                              kPassword, output),
              0)
        << output;
    EXPECT_EQ(PasswordHash::check(output, kPassword), Check::Match) << output;
    EXPECT_NE(value, output);
}

TEST(PasswordHash, YescryptChecksUpToItsCostBound)
{
    char setting[CRYPT_GENSALT_OUTPUT_SIZE];
    crypt_data area{};
    ASSERT_NE(crypt_gensalt_rn("$y$", 5, nullptr, 0, setting, sizeof setting), nullptr);
    const std::string cheap = crypt_rn(kPassword.c_str(), setting, &area, sizeof area);
    EXPECT_EQ(PasswordHash::check("{CRYPT}" + cheap, kPassword), Check::Match);
    EXPECT_EQ(PasswordHash::check("{CRYPT}" + cheap, "x"), Check::NoMatch);
    ASSERT_NE(crypt_gensalt_rn("$y$", 11, nullptr, 0, setting, sizeof setting), nullptr);
    // Not computed: only the setting of a costly hash is needed.
    EXPECT_EQ(PasswordHash::check("{CRYPT}" + std::string(setting) + "$xxxx", kPassword),
              Check::Unsupported);
}

TEST(PasswordHash, UnknownCostlyAndMalformedValuesAreToldApart)
{
    const struct {
        const char* stored;
        Check expected;
    } cases[] = {
        {"{PBKDF2-SHA512}10000$c2FsdA$aGFzaA", Check::Unsupported},
        {"{ARGON2}$argon2id$v=19$m=65536,t=2,p=1$c2FsdA$aGFzaA", Check::Unsupported},
        {"{CRYPT}$6$rounds=999999999$saltsalt$hash", Check::Unsupported},
        {"{CRYPT}$6$rounds=5000$saltsalt$hash", Check::NoMatch},
        {"{CRYPT}$2b$31$CCCCCCCCCCCCCCCCCCCCC.E5YPO9kmyuRGyh0XouQYb4YMJKvyOeW", Check::Unsupported},
        {"{CRYPT}$7$CU..../....abcdef", Check::Unsupported},
        {"{CRYPT}*", Check::Unsupported},
        {"{SSHA}AAAA", Check::Malformed},
        {"{SHA}abc", Check::Malformed},
        {"{SSHA512}", Check::Malformed},
        {"{CLEARTEXT}secret", Check::NoMatch},
        {"{unclosed", Check::NoMatch},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        EXPECT_EQ(PasswordHash::check(c.stored, kPassword), c.expected);
    }
    EXPECT_EQ(PasswordHash::check("{CLEARTEXT}" + kPassword, kPassword), Check::Match);
    EXPECT_EQ(PasswordHash::schemeOf("{unclosed"), "");
    EXPECT_EQ(PasswordHash::maskedText("{PBKDF2-SHA512}10000$x"), "{PBKDF2-SHA512} ****");
}

} // namespace
