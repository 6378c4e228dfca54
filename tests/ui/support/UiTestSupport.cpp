#include "ui/support/UiTestSupport.h"

#include "handles/gc_ptr.h"
#include "profiles/ConnectionPropertyFile.h"
#include "profiles/Directories.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "utilities/Util.h"

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QDir>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace dirtest {

TempWorkDir::TempWorkDir()
{
    m_previous = util::toUtf8(ldapmodel::Directories::currentWorkingDirectory());
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp")
                          + "/dirlook-ui-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
    ::mkdir(connections().c_str(), 0700);
    ::mkdir(help().c_str(), 0700);
    if (::chdir(m_path.c_str()) != 0)
        throw std::runtime_error("chdir failed");
    ldapmodel::Directories::initialize();
}

TempWorkDir::~TempWorkDir()
{
    if (!m_previous.empty() && ::chdir(m_previous.c_str()) != 0) {
        // The directory is removed all the same.
    }
    QDir(QString::fromStdString(m_path)).removeRecursively();
}

namespace {

std::wstring profilePath(const std::string& directory, const std::wstring& name)
{
    return util::fromUtf8(directory) + L"/" + name + L".connectionProperties";
}

} // namespace

bool writeProfile(const std::string& directory, const Profile& profile)
{
    memorylib::gc_ptr<ldapmodel::ConnectionPropertyFile> file(
        new ldapmodel::ConnectionPropertyFile(profilePath(directory, profile.name)));
    file->setName(profile.name);
    file->setHostName(profile.host);
    file->setPortNumber(profile.port);
    file->setBaseDn(profile.baseDn);
    file->setAnonymous(profile.anonymous);
    file->setUserDn(profile.userDn);
    file->setUserPassword(profile.password);
    file->setFilter(L"(|(objectclass=*))");
    file->setServerName(L"ServerName...");
    file->setSecurityText(profile.security);
    file->setCaCertificate(profile.caFile);
    return file->save() == 0;
}

bool readProfile(const std::string& directory, const std::wstring& name, Profile& profile)
{
    memorylib::gc_ptr<ldapmodel::ConnectionPropertyFile> file(
        new ldapmodel::ConnectionPropertyFile(profilePath(directory, name)));
    if (file->load() != 0)
        return false;
    profile.name = file->getName();
    profile.host = file->getHostName();
    profile.port = file->getPortNumber();
    profile.baseDn = file->getBaseDn();
    profile.anonymous = file->getAnonymous();
    profile.userDn = file->getUserDn();
    profile.password = file->getUserPassword();
    profile.security = file->getSecurityText();
    profile.caFile = file->getCaCertificate();
    return true;
}

bool fileExists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

Profile adminProfile(const std::wstring& name)
{
    const TestDirectoryServer& server = TestDirectoryServer::shared();
    Profile profile;
    profile.name = name;
    profile.host = util::fromUtf8(server.host());
    profile.port = server.port();
    profile.baseDn = util::fromUtf8(TestDirectoryServer::baseDn());
    profile.anonymous = false;
    profile.userDn = util::fromUtf8(TestDirectoryServer::adminDn());
    profile.password = util::fromUtf8(TestDirectoryServer::adminPassword());
    return profile;
}

QStringList columnTexts(const QAbstractItemView& view, int column)
{
    QStringList texts;
    const QAbstractItemModel* model = view.model();
    for (int row = 0; row < model->rowCount(); ++row)
        texts << model->index(row, column).data().toString();
    return texts;
}

std::vector<std::wstring> boxTexts(const ScriptedMessageBoxes& boxes)
{
    std::vector<std::wstring> texts;
    for (const auto& box : boxes.boxes())
        texts.push_back(box.text);
    return texts;
}

std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::vector<std::string> sorted(std::vector<std::string> values)
{
    std::sort(values.begin(), values.end());
    return values;
}

} // namespace dirtest
