#pragma once

#include <string>
#include <vector>

namespace ldapmodel {

// The server certificates the user chose to always trust: a text file with
// one line per server, "host port fingerprint" (host in lower case, the
// certificate's SHA-256 fingerprint as "AB:CD:..."), readable by its owner
// alone. Lines it does not understand are kept as they are. Read afresh on
// every question, so that two windows of the program agree.
class TrustedCertificates {
public:
    struct Pin {
        std::wstring host;
        int port = 0;
        std::wstring fingerprint;
    };

    explicit TrustedCertificates(std::wstring fileName);

    // "trusted-certificates" in the program's config directory.
    static std::wstring defaultFileName();

    // The fingerprint pinned for the server; empty when there is none (or
    // the file can't be read).
    std::wstring pinnedFingerprint(const std::wstring& host, int port) const;
    // Pins fingerprint for the server in place of any earlier pin: the file
    // is written whole to a new owner-only file (0600) that then replaces it.
    // False, with error saying why, when it can't be written.
    bool pin(const std::wstring& host, int port, const std::wstring& fingerprint, std::wstring& error);

    const std::wstring& getFileName() const { return m_strFileName; }

    // The pins of the file's text; lines that are no pin are left out.
    static std::vector<Pin> parse(const std::string& text);
    // A SHA-256 fingerprint as written: 32 hexadecimal bytes joined by ":".
    static bool isFingerprint(const std::wstring& text);

private:
    std::wstring m_strFileName;
};

} // namespace ldapmodel
