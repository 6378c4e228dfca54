#pragma once

// Helpers shared by the dialog tests: the model on the shared test server,
// text conversions, files, a recording stand-in for the main frame.

#include "frame/DialogFrameCommands.h"
#include "model/Model.h"
#include "support/TestDirectoryServer.h"
#include "utilities/Util.h"

#include <QString>

#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace dialogtest {

inline std::wstring wide(const char* utf8) { return util::fromUtf8(utf8); }
inline std::wstring wide(const std::string& utf8) { return util::fromUtf8(utf8); }
inline QString qs(const char* utf8) { return QString::fromUtf8(utf8); }

inline ldapmodel::Model& model() { return *ldapmodel::Model::getInstance(); }

// The model connected to the shared server as admin; true when connected.
inline bool connectModel()
{
    ldapmodel::Model& m = model();
    if (m.isConnected())
        return true;
    const dirtest::TestDirectoryServer& server = dirtest::TestDirectoryServer::shared();
    m.setHost(wide(server.host()));
    m.setPort(server.port());
    m.setBaseDN(wide(dirtest::sample::kBaseDn));
    m.setFilter(L"objectclass=*");
    m.setBindDN(wide(dirtest::TestDirectoryServer::adminDn()));
    m.setPassword(wide(dirtest::TestDirectoryServer::adminPassword()));
    return m.connect(false) == 0 && m.isConnected();
}

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

inline std::string dataPath(const char* name)
{
    return dirtest::TestDirectoryServer::dataDirectory() + "/" + name;
}

// Values of one attribute description of an entry, read through ldapsearch.
inline std::vector<std::string> serverValues(const std::string& dn, const std::string& attribute)
{
    const std::string ldif = dirtest::TestDirectoryServer::shared().entryLdif(dn, {attribute});
    return dirtest::TestDirectoryServer::ldifValues(ldif, attribute);
}

// Stands in for the main frame: records the commands and the selections
// handed over, and runs a test's action for a command (0 without one).
class RecordingFrame : public ui::FrameCommands {
public:
    struct Selection {
        std::wstring name;
        std::wstring value;
        int index = -1;
        int row = -1;
    };

    int runCommand(const char* handlerName) override
    {
        m_commands.emplace_back(handlerName);
        auto found = m_actions.find(handlerName);
        return found == m_actions.end() ? 0 : found->second();
    }
    void setSelectionFromDialog(const std::wstring& name, const std::wstring& value, int index,
                                int row) override
    {
        m_selections.push_back({name, value, index, row});
    }

    void onCommand(const std::string& handlerName, std::function<int()> action)
    {
        m_actions[handlerName] = std::move(action);
    }
    const std::vector<std::string>& commands() const { return m_commands; }
    const std::vector<Selection>& selections() const { return m_selections; }

private:
    std::map<std::string, std::function<int()>> m_actions;
    std::vector<std::string> m_commands;
    std::vector<Selection> m_selections;
};

} // namespace dialogtest
