#pragma once

#include <string>

namespace ldapmodel {

// Which attributes get a value viewer. Each takes an attribute description
// ("userCertificate;binary"): options do not count, letter case is ignored,
// and the loaded schema's syntax of the type is asked where it decides.

// The type of a description: the text before its first ";".
std::wstring attributeTypeOf(const std::wstring& description);

// userPassword.
bool isPasswordAttribute(const std::wstring& description);
// userCertificate, cACertificate, or a type of the Certificate syntax.
bool isCertificateAttribute(const std::wstring& description);
// jpegPhoto, photo, or a type of the JPEG syntax.
bool isPhotoAttribute(const std::wstring& description);
// A type of the GeneralizedTime syntax; createTimestamp and modifyTimestamp
// also without a schema.
bool isGeneralizedTimeAttribute(const std::wstring& description);

} // namespace ldapmodel
