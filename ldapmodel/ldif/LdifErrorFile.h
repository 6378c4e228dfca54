#pragma once

#include <string>

namespace ldapmodel {

// Where an import keeps the records it could not add, each after a comment
// line with its reason and followed by an empty line, so that the file can
// be mended and imported again.
//
// The file is made at the first record, under the first free name among
// the preferred one and its numbered forms ("LDIFError.txt",
// "LDIFError-2.txt", "LDIFError-3.txt", ...): it is always a new file, so
// never the file being imported, never another import's error file and
// never reached through a link. Owner-only (0600): records may hold
// passwords. A record that can't be written whole is taken out again and
// counted as lost, and so is every record after it.
class LdifErrorFile {
public:
    // Numbered forms end the search after this many names.
    static constexpr int MAX_NUMBER = 9999;

    // preferredName: a relative name is taken in the working directory.
    explicit LdifErrorFile(const std::wstring& preferredName);
    ~LdifErrorFile();
    LdifErrorFile(const LdifErrorFile&) = delete;
    LdifErrorFile& operator=(const LdifErrorFile&) = delete;

    // Appends "# " and the comment (line breaks become spaces), the record's
    // lines as read (line ends included) and an empty line. false when the
    // record is not in the file (lost).
    bool append(const std::wstring& comment, const std::string& linesAsRead);

    // The file's full path once it was made; empty before.
    const std::wstring& getPath() const { return m_strPath; }
    // The full path the first record would go to when nothing is taken:
    // the preferred name made absolute.
    std::wstring getPreferredPath() const;
    int getWrittenCount() const { return m_iWritten; }
    int getLostCount() const { return m_iLost; }
    // What went wrong first ("Can't create ...: No space left on device"),
    // empty while nothing did.
    const std::wstring& getFailure() const { return m_strFailure; }

    // "name-N.ext" for "name.ext" (the number goes before the last dot of
    // the file name, or at its end); number 1 is the name itself.
    static std::wstring numberedName(const std::wstring& name, int number);

private:
    bool create();
    bool fail(const std::wstring& what, int error);

    std::wstring m_strPreferredName;
    std::wstring m_strPath;
    int m_fd = -1;
    long long m_llSize = 0;
    int m_iWritten = 0;
    int m_iLost = 0;
    bool m_bFailed = false;
    std::wstring m_strFailure;
};

} // namespace ldapmodel
