#include "ldif/LDAPLdifFile.h"

#include "faults/FaultGuard.h"
#include "ldif/LdifRecordReader.h"
#include "ldif/LdifRecordWriter.h"
#include "logging/Log.h"
#include "logging/Trace.h"
#include "model/Model.h"
#include "utilities/Util.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace ldapmodel {

const wchar_t LDAPLdifFile::DEFAULT_FILE_NAME[] = L"LDIFError.txt";

namespace {

std::atomic<int> g_importedEntryCount{0};

util::Log& log()
{
    static memorylib::gc_ptr<util::Log> instance = util::Log::getLog(L"ldapmodel");
    return *instance;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FilePtr openFile(const std::wstring& fileName, const char* mode)
{
    return FilePtr(std::fopen(util::toUtf8(fileName).c_str(), mode));
}

// Lines of a file, read in blocks. The line feed, and a carriage return
// before it, are not part of the line; a last line without a line feed
// counts (a carriage return at its end is dropped as well).
class LineSource {
public:
    explicit LineSource(std::FILE* file) : m_pFile(file), m_buffer(1 << 16) {}

    // ending receives the line's end as it was in the file ("\r\n" or
    // "\n"; a last line without one gets "\n").
    bool next(std::string& line, const char*& ending)
    {
        line.clear();
        bool any = false;
        for (;;) {
            if (m_uPosition == m_uLength) {
                m_uLength = std::fread(m_buffer.data(), 1, m_buffer.size(), m_pFile);
                m_uPosition = 0;
                if (m_uLength == 0) {
                    ending = dropCarriageReturn(line) ? "\r\n" : "\n";
                    return any;
                }
            }
            const char* start = m_buffer.data() + m_uPosition;
            std::size_t available = m_uLength - m_uPosition;
            const void* found = std::memchr(start, '\n', available);
            if (found != nullptr) {
                std::size_t length = static_cast<std::size_t>(static_cast<const char*>(found) - start);
                line.append(start, length);
                m_uPosition += length + 1;
                ending = dropCarriageReturn(line) ? "\r\n" : "\n";
                return true;
            }
            line.append(start, available);
            m_uPosition = m_uLength;
            any = true;
        }
    }

private:
    static bool dropCarriageReturn(std::string& line)
    {
        if (line.empty() || line.back() != '\r')
            return false;
        line.pop_back();
        return true;
    }

    std::FILE* m_pFile;
    std::vector<char> m_buffer;
    std::size_t m_uPosition = 0;
    std::size_t m_uLength = 0;
};

// Splits the file into records and hands each to the handler.
void scanRecords(std::FILE* file, const LDAPLdifFile::RecordHandler& handler,
                 const std::function<bool()>& stopRequested)
{
    LineSource source(file);
    std::string line;
    const char* ending = "\n";
    std::string record;
    std::string linesAsRead;
    bool afterComment = false;
    auto finish = [&]() {
        bool goOn = handler(record, linesAsRead);
        record.clear();
        linesAsRead.clear();
        return goOn;
    };
    for (;;) {
        if (stopRequested && stopRequested())
            return;
        if (!source.next(line, ending))
            break;
        std::size_t firstVisible = line.find_first_not_of(' ');
        if (firstVisible == std::string::npos) {
            afterComment = false;
            if (!record.empty() && !finish())
                return;
            continue;
        }
        bool comment = line[0] == '#' || (line[0] == ' ' && afterComment) ||
                       (record.empty() && line[firstVisible] == '#');
        if (comment) {
            afterComment = true;
            if (!record.empty()) {
                linesAsRead += line;
                linesAsRead += ending;
            }
            continue;
        }
        afterComment = false;
        record += line;
        record += '\n';
        linesAsRead += line;
        linesAsRead += ending;
    }
    if (!record.empty())
        finish();
}

// A comment line: line breaks in its text become spaces.
std::string commentLine(const std::wstring& text)
{
    std::string line = "# " + util::toUtf8(text);
    for (char& c : line) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    line += '\n';
    return line;
}

} // namespace

LDAPLdifFile::LDAPLdifFile(const std::wstring& fileName)
    : m_strFileName(fileName.empty() ? std::wstring(DEFAULT_FILE_NAME) : fileName),
      m_strErrorFileName(DEFAULT_FILE_NAME)
{
}

int LDAPLdifFile::appendToFile(const std::wstring& fileName, const std::string& bytes)
{
    FilePtr file = openFile(fileName, "ab");
    if (file == nullptr)
        return -1;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    written = std::fflush(file.get()) == 0 && written;
    written = std::fclose(file.release()) == 0 && written;
    return written ? 0 : -1;
}

int LDAPLdifFile::appendEntry(const memorylib::gc_ptr<LDAPEntry>& entry)
{
    DIRLOOK_GUARD(L"LDAPLdifFile");
    if (entry.getObject() == nullptr)
        return -1;
    return appendEntry(*entry);
}

int LDAPLdifFile::appendEntry(const LDAPEntry& entry)
{
    DIRLOOK_GUARD(L"LDAPLdifFile");
    util::TraceScope trace(L"LDAPLdifFile::appendEntry");
    std::string record = LdifRecordWriter::entryRecord(entry, m_iLineWidth);
    record += '\n';
    return appendToFile(m_strFileName, record);
}

int LDAPLdifFile::readRecords(const RecordHandler& handler, const std::function<bool()>& stopRequested) const
{
    DIRLOOK_GUARD(L"LDAPLdifFile");
    FilePtr file = openFile(m_strFileName, "r");
    if (file == nullptr)
        return -1;
    scanRecords(file.get(), handler, stopRequested);
    return 0;
}

int LDAPLdifFile::appendRecordToErrorFile(const std::string& comment, const std::string& linesAsRead) const
{
    // A first line that starts with a space would continue the comment.
    const char* separator = !linesAsRead.empty() && linesAsRead[0] == ' ' ? "\n" : "";
    return appendToFile(m_strErrorFileName, comment + separator + linesAsRead + "\n");
}

int LDAPLdifFile::readEntries()
{
    return readEntries(Model::instance());
}

int LDAPLdifFile::readEntries(Model& model)
{
    DIRLOOK_GUARD(L"LDAPLdifFile");
    util::TraceScope trace(L"LDAPLdifFile::readEntries");
    log().write(L"LDAPLdifFile::readEntries %s", m_strFileName.c_str());
    FilePtr file = openFile(m_strFileName, "r");
    if (file == nullptr)
        return -1;

    model.progressStep();
    int result = 0;
    bool unreadable = false;
    auto importRecord = [&](const std::string& record, const std::string& linesAsRead) {
        memorylib::gc_ptr<LDAPEntry> entry = new LDAPEntry();
        if (LdifRecordReader::createFromLdifString(*entry, record) != 0) {
            appendRecordToErrorFile(
                commentLine(L"dn: " + entry->getDN() + L" not read: the import stopped at this record"),
                linesAsRead);
            unreadable = true;
            return false;
        }
        // A record that holds nothing but "version: 1" is no entry.
        if (entry->getDN().empty() && entry->getUserAttributeCount() == 0)
            return true;

        // syn_addEntry reports a refusal itself and answers -1; the model
        // keeps the code and text for the error file.
        result = model.syn_addEntry(entry);
        if (result != 0) {
            const std::wstring error = model.getLastAddError();
            appendRecordToErrorFile(
                commentLine(L"dn: " + entry->getDN() + L" refused: " + (error.empty() ? L"not added" : error)),
                linesAsRead);
        }
        if (m_iEntryPauseMilliseconds > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(m_iEntryPauseMilliseconds));
        g_importedEntryCount.fetch_add(1);
        model.getBackgroundState().setCurrentDN(entry->getDN());
        model.getBackgroundState().incrementProgressCount();
        model.progressStep();
        return true;
    };
    scanRecords(file.get(), importRecord, [&model]() { return model.isStopRequested(); });
    return unreadable ? -1 : result;
}

int LDAPLdifFile::getImportedEntryCount()
{
    return g_importedEntryCount.load();
}

void LDAPLdifFile::resetImportedEntryCount()
{
    g_importedEntryCount.store(0);
}

} // namespace ldapmodel
