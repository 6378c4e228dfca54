#pragma once

// Helpers of the widget tests: a private working directory with the
// program's directories, profile files, and looking into widgets.

#include <QString>
#include <QStringList>

#include <ostream>
#include <string>
#include <vector>

class QAbstractItemView;

namespace dirtest {

class ScriptedMessageBoxes;

// A fresh directory under $TMPDIR made the working directory, with
// "connections" and "Help" below it; the program's directories are derived
// from it. The destructor returns to the previous working directory and
// removes the directory.
class TempWorkDir {
public:
    TempWorkDir();
    ~TempWorkDir();
    TempWorkDir(const TempWorkDir&) = delete;
    TempWorkDir& operator=(const TempWorkDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string connections() const { return m_path + "/connections"; }
    std::string help() const { return m_path + "/Help"; }

private:
    std::string m_previous;
    std::string m_path;
};

struct Profile {
    std::wstring name;
    std::wstring host = L"127.0.0.1";
    int port = 389;
    std::wstring baseDn;
    bool anonymous = true;
    std::wstring userDn;
    std::wstring password;
    std::wstring security;  // the Security line: "", "ldaps", "starttls"
    std::wstring caFile;
};

// Writes directory/<name>.connectionProperties.
bool writeProfile(const std::string& directory, const Profile& profile);
// Reads directory/<name>.connectionProperties; false when it can't.
bool readProfile(const std::string& directory, const std::wstring& name, Profile& profile);
bool fileExists(const std::string& path);
// The whole content of a file; empty when it can't be read.
std::string readBytes(const std::string& path);
// Replaces the content of a file; false when it can't be written.
bool writeBytes(const std::string& path, const std::string& bytes);
std::vector<std::string> sorted(std::vector<std::string> values);
// A profile of the shared test server, bound as its administrator.
Profile adminProfile(const std::wstring& name);

// The texts of one column of a list or tree view, top level rows in order.
QStringList columnTexts(const QAbstractItemView& view, int column);

// The texts of the message boxes shown so far, in order.
std::vector<std::wstring> boxTexts(const ScriptedMessageBoxes& boxes);

} // namespace dirtest

// Readable failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* out)
{
    *out << '{' << list.join(QStringLiteral(", ")).toStdString() << '}';
}
