#pragma once

namespace ldapmodel {

// The user's preferences the model works with. The defaults are the
// program's behaviour without a preferences file.
struct Preferences {
    // Connecting: the TCP connect and the bind together.
    int connectTimeoutSeconds = 10;
    // Every other request the user interface waits for.
    int operationTimeoutSeconds = 30;
    // Pause after each message of a background search and each imported
    // entry; 0 for none.
    int resultPauseMilliseconds = 10;

    // LDIF exports write every DN and value holding a byte outside
    // printable ASCII in Base64, as other LDIF tools expect.
    bool ldifAsciiOnly = false;

    // Entries per page of a background read from a server that offers
    // paged results; 0 reads in one request, as without the offer.
    int pageSize = 500;
};

} // namespace ldapmodel
