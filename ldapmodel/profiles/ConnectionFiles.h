#pragma once

#include "handles/gc_ptr.h"
#include "handles/RefCount.h"
#include "profiles/ConnectionPropertyFile.h"

#include <string>
#include <vector>

namespace ldapmodel {

// The profiles found in one connections directory, read when constructed.
// Files are taken in file-name order (byte order), so the list is the same on
// every run whatever order the file system returns them in.
class ConnectionFiles : public memorylib::RefCount {
public:
    // Constructs and scans: enters the directory, loads every regular file
    // matching the pattern (listed even when damaged) and returns to the
    // previous working directory. When no file matches, the working directory
    // stays in the connections directory. A directory that can't be entered
    // gives an empty list.
    ConnectionFiles(const std::wstring& directory, const std::wstring& pattern);
    ~ConnectionFiles() override;

    // Makes the connections directory the working directory and leaves it
    // so; appends the bare names of the matching files. 0 when at least one
    // matched, -1 otherwise.
    int listFileNames(std::vector<std::wstring>& fileNames);

    // First profile whose Name equals name exactly, or an empty handle.
    memorylib::gc_ptr<ConnectionPropertyFile> findByName(const std::wstring& name) const;
    // True when some profile's Name equals name exactly.
    bool exists(const std::wstring& name) const;
    // Drops the first profile whose Name equals name ignoring letter case and
    // deletes its file; a file that can't be deleted is reported in a box
    // captioned with the file name.
    void removeByName(const std::wstring& name);

    std::wstring getPattern() const { return m_strPattern; }
    std::wstring getDirectory() const { return m_strDirectory; }
    const std::vector<memorylib::gc_ptr<ConnectionPropertyFile>>& getProfiles() const
    {
        return m_profiles;
    }

    // The file pattern and extension of profile files.
    static const wchar_t* const kPattern;     // "*.connectionProperties"
    static const wchar_t* const kExtension;   // ".connectionProperties"

    // The profile name of a file name: the part before the first
    // ".connectionProperties"; false when the file name lacks it.
    static bool profileNameOf(const std::wstring& fileName, std::wstring& profileName);
    // The connections directory, "/", the profile name, ".connectionProperties".
    static std::wstring profilePath(const std::wstring& profileName);

private:
    void scan();

    std::wstring m_strPattern;
    std::wstring m_strDirectory;
    std::vector<memorylib::gc_ptr<ConnectionPropertyFile>> m_profiles;
};

} // namespace ldapmodel
