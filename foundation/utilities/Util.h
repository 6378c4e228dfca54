#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <vector>

namespace util {

// Code pages: UTF-8, and the 8-bit "ANSI" page, which is ISO-8859-1 here.
constexpr unsigned int CP_UTF8 = 65001;
constexpr unsigned int CP_ACP = 0;

// Internal-error message: caption "Message", OK and Cancel; answer ignored.
void showInternalError(const std::wstring& text);

// count -1 means up to the terminating zero; a null text, any other count
// below 1 or an unknown code page give the empty result. The result ends at
// the first zero. Invalid input never fails: undecodable UTF-8 becomes U+FFFD
// (so do surrogates and values beyond U+10FFFF in wide text), a character
// that the 8-bit page cannot hold becomes "?".
std::string wideToBytes(const wchar_t* text, int count, unsigned int codePage);
std::wstring bytesToWide(const char* bytes, int count, unsigned int codePage);
// Conveniences over the two above.
std::string toUtf8(const std::wstring& text);
std::wstring fromUtf8(const std::string& bytes);
std::string toAnsi(const std::wstring& text);
std::wstring fromAnsi(const std::string& bytes);

// Standard Base64 (RFC 4648), "=" padded, on one line.
std::string base64Encode(const unsigned char* bytes, std::size_t count);
// Skips characters outside the alphabet; a zero byte ends the input.
std::vector<unsigned char> base64Decode(const std::string& text);
// The same into out, which has room for base64DecodedBound(length) bytes;
// returns the number of bytes written.
std::size_t base64DecodeTo(const char* text, std::size_t length, unsigned char* out);
std::size_t base64DecodedBound(std::size_t length);

// Removes leading and trailing U+0020 only.
std::wstring trim(const std::wstring& text);
// Splits at commas, trims each piece, joins with ",". A separator escaped
// with a backslash ("cn=Smith\, John") does not split, and an escaped
// trailing space is kept.
std::wstring normalizeCommaList(const std::wstring& text);
// The pieces of text between separators (escaped ones excepted), each
// trimmed as trimListPiece does. An empty separator gives the whole text.
std::vector<std::wstring> splitList(const std::wstring& text, const std::wstring& separator);
// Removes leading and trailing U+0020, keeping a trailing one that is
// escaped ("cn=a\ ").
std::wstring trimListPiece(const std::wstring& piece);
// Splits at separator (escaped ones excepted), trims each piece, joins in
// reverse order with ",".
std::wstring reverseCommaList(const std::wstring& text, const std::wstring& separator);
// vswprintf with the format as callers write it: "%s" and "%c" take wide
// arguments. Stops at a formatted zero character; empty for a null format or
// a result of a million characters or more.
std::wstring formatWideV(const wchar_t* format, va_list arguments);

// Strips characters of the leading set from the start, of the trailing set from the end.
std::wstring trimChars(const std::wstring& text, const std::wstring& leading,
                       const std::wstring& trailing);

// errno and its system text, shown with an information icon; returns the text.
std::wstring showLastError(const std::wstring& caption);

// Fatal-error report: formats the fault text, appends the trace, shows it
// (box where possible, always standard error) and ends the process with 0.
[[noreturn]] void reportFatalError(unsigned int code, const std::wstring& file, int line,
                                   const std::wstring& reason);
// Reported error with exit ("Exception in %s\nat line: %d\nreason: %s...").
[[noreturn]] void reportErrorAndExit(const std::wstring& file, int line,
                                     const std::wstring& reason);
// The fault text of a structured-exception code.
std::wstring faultText(unsigned int code);
// True once a fatal-error report has started: the process ends after its box.
bool isFatalReportInProgress();

} // namespace util
