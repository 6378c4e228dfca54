// Reads arbitrary bytes as one LDIF change record. A record that reads is a
// change record by isChangeRecord, holds no zero byte, and gives a change
// whose parts are all there: a DN line, an entry for an add, named
// attributes for a modify, a new RDN for a rename.
#include "handles/gc_ptr.h"
#include "ldif/LdifChangeRecord.h"
#include "records/LDAPEntry.h"
#include "utilities/MessageBox.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

using ldapmodel::LdifChangeRecord;

namespace {

// Boxes are answered with their default button, silently.
class QuietBoxes : public util::MessageBoxService {
public:
    util::BoxAnswer show(const util::MessageBoxRequest& request) override { return request.defaultButton; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QuietBoxes boxes;
    util::setMessageBoxService(&boxes);
    const std::string record(reinterpret_cast<const char*>(data), size);
    const bool change = LdifChangeRecord::isChangeRecord(record);
    LdifChangeRecord reader;
    if (reader.read(record) != 0)
        return 0;
    if (!change || std::memchr(record.data(), '\0', record.size()) != nullptr)
        std::abort();
    switch (reader.getType()) {
    case LdifChangeRecord::Type::Add:
        if (reader.getEntry().getObject() == nullptr)
            std::abort();
        break;
    case LdifChangeRecord::Type::Modify:
        for (const LdifChangeRecord::Modification& modification : reader.getModifications()) {
            if (modification.attribute.empty())
                std::abort();
            for (const auto& value : modification.values) {
                if (value.getObject() == nullptr)
                    std::abort();
            }
        }
        break;
    case LdifChangeRecord::Type::ModDn:
        if (reader.getNewRdn().empty())
            std::abort();
        break;
    case LdifChangeRecord::Type::Delete:
        break;
    }
    // Reading the same record again gives the same change.
    LdifChangeRecord again;
    if (again.read(record) != 0 || again.getType() != reader.getType() || again.getDN() != reader.getDN() ||
        again.getModifications().size() != reader.getModifications().size())
        std::abort();
    return 0;
}
