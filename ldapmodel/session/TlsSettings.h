#pragma once

#include <string>

namespace ldapmodel {

// How a session protects its connection.
enum class SecurityMode {
    None,     // ldap://, everything in clear text
    Ldaps,    // TLS from the first byte (ldaps://)
    StartTls  // ldap://, then the StartTLS operation before anything else
};

struct TlsSettings {
    SecurityMode mode = SecurityMode::None;
    // A CA certificate file (PEM, one or more certificates, or DER) trusted
    // beside the system's CA bundle; empty for none.
    std::wstring caFile;
};

inline constexpr int kLdapPort = 389;
inline constexpr int kLdapsPort = 636;

// The usual port of a mode: 636 for LDAPS, 389 otherwise.
inline int defaultPort(SecurityMode mode)
{
    return mode == SecurityMode::Ldaps ? kLdapsPort : kLdapPort;
}

} // namespace ldapmodel
