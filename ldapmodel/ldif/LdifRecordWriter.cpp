#include "ldif/LdifRecordWriter.h"

#include "records/LDAPAttribute.h"
#include "records/LDAPAttributeValue.h"
#include "records/LDAPEntry.h"
#include "schema/ValueKind.h"
#include "utilities/Util.h"

#include <cstring>

namespace ldapmodel {

namespace {

constexpr std::size_t DN_PREFIX_LENGTH = 4;  // "dn" and ": ", whichever form

int attributeLineWidth(int lineWidth)
{
    return lineWidth < LdifRecordWriter::MIN_ATTRIBUTE_LINE_WIDTH
               ? LdifRecordWriter::MIN_ATTRIBUTE_LINE_WIDTH
               : lineWidth;
}

// Any character above U+00FF, or a zero, which the 8-bit text would drop.
bool dnNeedsUtf8(const std::wstring& dn)
{
    for (wchar_t c : dn) {
        if (static_cast<unsigned long>(c) > 0xFF || c == L'\0')
            return true;
    }
    return false;
}

// Calls piece(position, length) for each piece of a value folded as
// described in the header.
template <class Piece>
void forEachPiece(std::size_t valueLength, std::size_t prefixLength, int lineWidth, Piece piece)
{
    long long width = lineWidth;
    long long used = static_cast<long long>(prefixLength);
    std::size_t position = 0;
    std::size_t rest = valueLength;
    for (;;) {
        std::size_t length = rest;
        if (rest > 0 && used + static_cast<long long>(rest) > width) {
            long long room = width - used;
            length = room < 1 ? 1 : static_cast<std::size_t>(room);
        }
        piece(position, length);
        position += length;
        rest -= length;
        if (rest == 0)
            return;
        used = 1;
    }
}

std::string base64Of(const char* bytes, std::size_t length)
{
    return util::base64Encode(reinterpret_cast<const unsigned char*>(bytes), length);
}

} // namespace

void LdifRecordWriter::appendFolded(std::string& out, const std::string& prefix, const char* value,
                                    std::size_t valueLength, std::size_t prefixLength, int lineWidth)
{
    out += prefix;
    forEachPiece(valueLength, prefixLength, lineWidth, [&](std::size_t position, std::size_t length) {
        if (position != 0)
            out += "\n ";
        out.append(value + position, length);
    });
    out += '\n';
}

bool LdifRecordWriter::foldsToBlankLine(const char* value, std::size_t valueLength, std::size_t prefixLength,
                                        int lineWidth)
{
    bool blank = false;
    forEachPiece(valueLength, prefixLength, lineWidth, [&](std::size_t position, std::size_t length) {
        if (position == 0 || blank)
            return;
        blank = true;
        for (std::size_t i = position; i < position + length; ++i) {
            if (value[i] != ' ') {
                blank = false;
                return;
            }
        }
    });
    return blank;
}

bool LdifRecordWriter::isSafePlainText(const char* bytes, std::size_t length)
{
    if (length == 0)
        return true;
    char first = bytes[0];
    if (first == ' ' || first == ':' || first == '<' || bytes[length - 1] == ' ')
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        char c = bytes[i];
        if (c == '\0' || c == '\n' || c == '\r')
            return false;
        // A file reference on a plain line fails the import.
        if (c == ':' && i + 2 < length && bytes[i + 1] == '<' && bytes[i + 2] == ' ')
            return false;
    }
    return true;
}

bool LdifRecordWriter::isPrintableAscii(const char* bytes, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x20 || byte > 0x7E)
            return false;
    }
    return true;
}

bool LdifRecordWriter::mustBeBase64(const LDAPAttributeValue& value, const std::wstring& name,
                                    int lineWidth)
{
    return isVersionName(name) || isBinaryName(name) || !isPlainValue(value, util::toUtf8(name), lineWidth);
}

bool LdifRecordWriter::isPlainValue(const LDAPAttributeValue& value, const std::string& utf8Name, int lineWidth)
{
    const char* bytes = value.getBytes();
    std::size_t length = value.getLength();
    return !value.containsNonAscii() && isSafePlainText(bytes, length) &&
           !foldsToBlankLine(bytes, length, utf8Name.size() + 2, attributeLineWidth(lineWidth));
}

bool LdifRecordWriter::isVersionName(const std::wstring& name)
{
    return name == L"version";
}

bool LdifRecordWriter::isBinaryName(const std::wstring& name)
{
    std::size_t semicolon = name.find(L';');
    return isBinaryKind(getValueKindOfAttribute(
        semicolon == std::wstring::npos ? name : name.substr(0, semicolon)));
}

std::string LdifRecordWriter::dnLine(const std::wstring& dn, int lineWidth, bool asciiOnly)
{
    std::string out;
    if (!dnNeedsUtf8(dn)) {
        std::string text = util::toAnsi(dn);
        if (isSafePlainText(text.data(), text.size()) && (!asciiOnly || isPrintableAscii(text.data(), text.size())) &&
            !foldsToBlankLine(text.data(), text.size(), DN_PREFIX_LENGTH, lineWidth)) {
            appendFolded(out, "dn: ", text.data(), text.size(), DN_PREFIX_LENGTH, lineWidth);
            return out;
        }
    }
    std::string utf8 = util::toUtf8(dn);
    std::string encoded = base64Of(utf8.data(), utf8.size());
    appendFolded(out, "dn:: ", encoded.data(), encoded.size(), DN_PREFIX_LENGTH, lineWidth);
    return out;
}

void LdifRecordWriter::appendTextForm(std::string& out, const LDAPAttributeValue& value,
                                      const std::string& utf8Name, int lineWidth)
{
    std::string prefix = utf8Name + ": ";
    int width = attributeLineWidth(lineWidth);
    if (value.containsNonAscii()) {
        std::string text = util::toAnsi(value.toString());
        appendFolded(out, prefix, text.data(), text.size(), prefix.size(), width);
    } else {
        // ASCII reads back as itself; the text ends at the first zero byte.
        const char* bytes = value.getBytes();
        std::size_t length = bytes == nullptr ? 0 : strnlen(bytes, value.getLength());
        appendFolded(out, prefix, bytes, length, prefix.size(), width);
    }
}

void LdifRecordWriter::appendBase64Form(std::string& out, const LDAPAttributeValue& value,
                                        const std::string& utf8Name, int lineWidth)
{
    std::string prefix = utf8Name + ":: ";
    std::string encoded = base64Of(value.getBytes(), value.getLength());
    appendFolded(out, prefix, encoded.data(), encoded.size(), prefix.size(), attributeLineWidth(lineWidth));
}

std::string LdifRecordWriter::valueTextForm(const LDAPAttributeValue& value, const std::wstring& name,
                                            int lineWidth)
{
    std::string out;
    appendTextForm(out, value, util::toUtf8(name), lineWidth);
    return out;
}

std::string LdifRecordWriter::valueBase64Form(const LDAPAttributeValue& value, const std::wstring& name,
                                              int lineWidth)
{
    std::string out;
    appendBase64Form(out, value, util::toUtf8(name), lineWidth);
    return out;
}

void LdifRecordWriter::appendAttributeText(std::string& out, const LDAPAttribute& attribute, int lineWidth,
                                           bool asciiOnly)
{
    const LDAPAttribute::ValueList& values = attribute.getValues();
    if (values.empty())
        return;
    const std::wstring name = attribute.getName();
    const std::string utf8Name = util::toUtf8(name);
    const bool base64 = isVersionName(name) || isBinaryName(name);
    for (const memorylib::gc_ptr<LDAPAttributeValue>& value : values) {
        if (value.getObject() == nullptr)
            continue;
        if (base64 || !isPlainValue(*value, utf8Name, lineWidth) ||
            (asciiOnly && !isPrintableAscii(value->getBytes(), value->getLength())))
            appendBase64Form(out, *value, utf8Name, lineWidth);
        else
            appendTextForm(out, *value, utf8Name, lineWidth);
    }
}

std::string LdifRecordWriter::attributeText(const LDAPAttribute& attribute, int lineWidth)
{
    std::string out;
    appendAttributeText(out, attribute, lineWidth);
    return out;
}

bool LdifRecordWriter::isWritableName(const std::wstring& name)
{
    auto isLetterOrDigit = [](wchar_t c) {
        return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9');
    };
    const std::size_t semicolon = name.find(L';');
    const std::size_t typeLength = semicolon == std::wstring::npos ? name.size() : semicolon;
    if (typeLength == 0 || !isLetterOrDigit(name[0]))
        return false;
    for (std::size_t i = 0; i < typeLength; ++i) {
        if (!isLetterOrDigit(name[i]) && name[i] != L'-' && name[i] != L'.')
            return false;
    }
    // Options: each one ";" and at least one letter, digit or hyphen.
    std::size_t optionLength = 0;
    for (std::size_t i = typeLength; i < name.size(); ++i) {
        if (name[i] == L';') {
            if (i != typeLength && optionLength == 0)
                return false;
            optionLength = 0;
        } else if (isLetterOrDigit(name[i]) || name[i] == L'-') {
            ++optionLength;
        } else {
            return false;
        }
    }
    if (typeLength != name.size() && optionLength == 0)
        return false;
    std::wstring type = name.substr(0, typeLength);
    for (wchar_t& c : type) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c + (L'a' - L'A'));
    }
    return type != L"dn" && type != L"changetype" && type != L"control";
}

std::string LdifRecordWriter::entryRecord(const LDAPEntry& entry, int lineWidth,
                                          std::vector<std::wstring>* skippedNames, bool asciiOnly)
{
    std::string out = dnLine(entry.getDN(), lineWidth, asciiOnly);
    for (const memorylib::gc_ptr<LDAPAttribute>& attribute : entry.getUserAttributes()) {
        if (attribute.getObject() == nullptr)
            continue;
        if (!isWritableName(attribute->getName())) {
            if (skippedNames != nullptr && attribute->getValueCount() > 0)
                skippedNames->push_back(attribute->getName());
            continue;
        }
        appendAttributeText(out, *attribute, lineWidth, asciiOnly);
    }
    return out;
}

std::wstring LdifRecordWriter::entryRecordText(const LDAPEntry& entry)
{
    return util::fromAnsi(entryRecord(entry, DISPLAY_LINE_WIDTH));
}

} // namespace ldapmodel
