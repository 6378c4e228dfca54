// Reads arbitrary bytes as one LDIF record. When the record reads, writing
// the entry (at a width taken from the first byte) and reading that text
// again must give the same entry, less the attributes whose names the writer
// leaves out.
#include "handles/gc_ptr.h"
#include "ldif/LdifRecordReader.h"
#include "ldif/LdifRecordWriter.h"
#include "records/LDAPEntry.h"
#include "utilities/MessageBox.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using ldapmodel::LDAPAttribute;
using ldapmodel::LDAPEntry;
using ldapmodel::LdifRecordReader;
using ldapmodel::LdifRecordWriter;
using memorylib::gc_ptr;

namespace {

// Boxes are answered with their default button, silently.
class QuietBoxes : public util::MessageBoxService {
public:
    util::BoxAnswer show(const util::MessageBoxRequest& request) override { return request.defaultButton; }
};

// The entry with only the attributes the writer writes.
gc_ptr<LDAPEntry> writablePart(const LDAPEntry& entry)
{
    gc_ptr<LDAPEntry> part = new LDAPEntry();
    part->setDN(entry.getDN());
    for (const gc_ptr<LDAPAttribute>& attribute : entry.getUserAttributes()) {
        if (LdifRecordWriter::isWritableName(attribute->getName()))
            part->appendUserAttributes({attribute});
    }
    return part;
}

bool sameEntry(const LDAPEntry& left, const LDAPEntry& right)
{
    if (left.getDN() != right.getDN())
        return false;
    const LDAPEntry::AttributeList& a = left.getUserAttributes();
    const LDAPEntry::AttributeList& b = right.getUserAttributes();
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i]->getName() != b[i]->getName() || a[i]->getValueCount() != b[i]->getValueCount())
            return false;
        for (int v = 0; v < a[i]->getValueCount(); ++v) {
            if (*a[i]->getValue(v) != *b[i]->getValue(v))
                return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QuietBoxes boxes;
    util::setMessageBoxService(&boxes);
    if (size == 0)
        return 0;
    int width = data[0] % 128 - 8;
    std::string record(reinterpret_cast<const char*>(data) + 1, size - 1);

    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    if (LdifRecordReader::createFromLdifString(*entry, record) != 0)
        return 0;
    std::string written = LdifRecordWriter::entryRecord(*entry, width);
    gc_ptr<LDAPEntry> again = new LDAPEntry();
    if (LdifRecordReader::createFromLdifString(*again, written) != 0 || !sameEntry(*writablePart(*entry), *again))
        std::abort();
    return 0;
}
