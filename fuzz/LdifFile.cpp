// Imports arbitrary bytes as an LDIF file through a Model that cannot
// connect (port 0), so every add fails at once and every record read goes
// to the error file. That file, read again, must give the same records:
// the records of the input up to the first one that cannot be read (one
// holding a zero byte is refused and the import goes on), without those that
// hold nothing but a version line.
#include "FuzzFiles.h"
#include "handles/gc_ptr.h"
#include "ldif/LDAPLdifFile.h"
#include "ldif/LdifImportReport.h"
#include "ldif/LdifRecordReader.h"
#include "model/Model.h"
#include "records/LDAPEntry.h"
#include "utilities/MessageBox.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using fuzzfiles::directory;
using fuzzfiles::writeFile;
using ldapmodel::LDAPEntry;
using ldapmodel::LDAPLdifFile;
using ldapmodel::LdifRecordReader;
using ldapmodel::Model;
using memorylib::gc_ptr;

namespace {

class QuietBoxes : public util::MessageBoxService {
public:
    util::BoxAnswer show(const util::MessageBoxRequest& request) override { return request.defaultButton; }
};

std::vector<std::string> recordsOf(const LDAPLdifFile& file)
{
    std::vector<std::string> records;
    file.readRecords([&](const std::string& record, const std::string&) {
        records.push_back(record);
        return true;
    });
    return records;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QuietBoxes boxes;
    util::setMessageBoxService(&boxes);
    static Model& model = [] () -> Model& {
        Model& instance = Model::instance();
        instance.setHost(L"127.0.0.1");
        instance.setPort(0);
        return instance;
    }();

    const std::string input = directory("ldif") + "/input.ldif";
    const std::string errors = directory("ldif") + "/errors.ldif";
    writeFile(input, data, size);
    std::remove(errors.c_str());  // each import makes its error file afresh

    LDAPLdifFile file(std::wstring(input.begin(), input.end()));
    file.setErrorFileName(std::wstring(errors.begin(), errors.end()));
    file.setEntryPause(0);
    int result = file.readEntries(model);

    // What the error file should hold.
    std::vector<std::string> expected;
    for (const std::string& record : recordsOf(file)) {
        // Refused, and the import goes on.
        if (LdifRecordReader::holdsZeroByte(record)) {
            expected.push_back(record);
            continue;
        }
        gc_ptr<LDAPEntry> entry = new LDAPEntry();
        bool readable = LdifRecordReader::createFromLdifString(*entry, record) == 0;
        if (readable && entry->getDN().empty() && entry->getUserAttributeCount() == 0)
            continue;
        expected.push_back(record);
        if (!readable)
            break;
    }
    // Every add fails, so any record gives -1, as does a stop.
    if (result != (expected.empty() ? 0 : -1))
        std::abort();

    // The error file is made at the first record it takes, under the name asked for.
    const ldapmodel::LdifImportReport* report = file.getImportReport();
    if (report == nullptr || report->getLostCount() != 0)
        std::abort();
    const std::wstring written = report->getErrorFile().getPath();
    if (written != (expected.empty() ? std::wstring() : std::wstring(errors.begin(), errors.end())))
        std::abort();
    LDAPLdifFile errorFile(std::wstring(errors.begin(), errors.end()));
    if (recordsOf(errorFile) != expected)
        std::abort();
    return 0;
}
