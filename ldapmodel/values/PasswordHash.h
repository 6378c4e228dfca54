#pragma once

#include <string>

namespace ldapmodel {

// The schemes a new password can be stored with.
enum class PasswordScheme {
    Ssha,         // {SSHA}: SHA-1 over password and salt
    Ssha256,      // {SSHA256}
    Ssha512,      // {SSHA512}
    CryptSha512,  // {CRYPT} with a SHA-512 crypt ("$6$") hash
    ClearText     // the password itself
};

// userPassword values: making one from a password, checking a password
// against one, and the text shown for one. Digests come from GnuTLS, crypt
// hashes from libcrypt, salts from the system's random source. Passwords
// and values are bytes (UTF-8 text).
class PasswordHash {
public:
    enum class Check {
        Match,
        NoMatch,
        Unsupported,  // a scheme or crypt method not checked here
        Malformed     // the stored value is not a valid hash of its scheme
    };

    // "{SSHA}", "{SSHA256}", "{SSHA512}", "{CRYPT}", "" for clear text.
    static const char* schemePrefix(PasswordScheme scheme);

    // The value to store for password: the scheme prefix and the Base64 of
    // digest and an 8-byte random salt, "{CRYPT}" and a "$6$" hash, or the
    // password itself. Empty when no random salt could be had or the library
    // failed (also for a crypt password holding a zero byte).
    static std::string make(PasswordScheme scheme, const std::string& password);

    // Whether password is the one stored. Values starting with "{scheme}"
    // are read by that scheme (SHA, SSHA, SHA256, SSHA256, SHA384, SSHA384,
    // SHA512, SSHA512, MD5, SMD5, CRYPT, CLEARTEXT; letter case ignored);
    // other values are compared as clear text. Crypt hashes are checked for
    // the DES, MD5, SHA-256, SHA-512, bcrypt and yescrypt methods, and only
    // up to a bounded cost, so that a hostile value cannot stall the check.
    static Check check(const std::string& stored, const std::string& password);

    // The "{...}" prefix of a stored value as written; "" when it has none.
    static std::string schemeOf(const std::string& stored);

    // What the record view shows for a stored value: "{SSHA} ****", or
    // "**** (clear text)" for a value without a scheme.
    static std::string maskedText(const std::string& stored);
};

} // namespace ldapmodel
