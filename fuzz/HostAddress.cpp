// Parses arbitrary text as the Host field and as the trusted-certificates
// file. What the Host field takes must come back the same when written in
// its plain form; every pin read must be written and read back unchanged.
#include "profiles/HostAddress.h"
#include "security/TrustedCertificates.h"
#include "utilities/Util.h"

#include <cstdint>
#include <string>
#include <vector>

using ldapmodel::HostAddress;
using ldapmodel::TrustedCertificates;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    HostAddress address;
    if (HostAddress::parse(util::fromUtf8(bytes), address)) {
        if (address.host.empty() || address.port < 0 || address.port > 65535)
            __builtin_trap();
        std::wstring plain = address.host.find(L':') != std::wstring::npos ? L"[" + address.host + L"]" : address.host;
        if (address.port != 0)
            plain += L":" + std::to_wstring(address.port);
        HostAddress again;
        if (!HostAddress::parse(plain, again) || again.host != address.host || again.port != address.port
            || again.scheme != HostAddress::Scheme::None)
            __builtin_trap();
    }

    const std::vector<TrustedCertificates::Pin> pins = TrustedCertificates::parse(bytes);
    std::string written;
    for (const TrustedCertificates::Pin& pin : pins) {
        if (pin.port < 1 || pin.port > 65535 || !TrustedCertificates::isFingerprint(pin.fingerprint))
            __builtin_trap();
        written += util::toUtf8(pin.host) + " " + std::to_string(pin.port) + " " + util::toUtf8(pin.fingerprint) + "\n";
    }
    const std::vector<TrustedCertificates::Pin> again = TrustedCertificates::parse(written);
    if (again.size() != pins.size())
        __builtin_trap();
    for (std::size_t i = 0; i < pins.size(); ++i) {
        if (again[i].host != pins[i].host || again[i].port != pins[i].port || again[i].fingerprint != pins[i].fingerprint)
            __builtin_trap();
    }
    return 0;
}
