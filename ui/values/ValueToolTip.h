#pragma once

#include <QString>

#include <string>

namespace ldapmodel {
class LDAPAttributeValue;
}

// The tooltip of one value in the attribute views: a thumbnail for an
// image, a certificate's subject, issuer and expiry, the local time of a
// GeneralizedTime value. A photo or certificate that cannot be read gives
// the notice its cell shows and a line saying why.
class ValueToolTip {
public:
    // Empty when there is nothing more to show than the cell. shownAsBinary:
    // the cell shows notice instead of the text; only then are other values
    // looked at for an image.
    static QString forValue(const std::wstring& attributeName,
                            const ldapmodel::LDAPAttributeValue& value, bool shownAsBinary,
                            const QString& notice);
};
