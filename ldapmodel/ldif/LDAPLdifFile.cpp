#include "ldif/LDAPLdifFile.h"

#include "faults/FaultGuard.h"
#include "ldif/LdifChangeRecord.h"
#include "ldif/LdifImportReport.h"
#include "ldif/LdifRecordReader.h"
#include "ldif/LdifRecordWriter.h"
#include "logging/Log.h"
#include "logging/Trace.h"
#include "model/Model.h"
#include "utilities/MessageBoxCapture.h"
#include "utilities/Util.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
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
// Distinct skipped names an export remembers for its report.
constexpr std::size_t kMaxSkippedNames = 100;
// A record buffer larger than this is given back after its record.
constexpr std::size_t kKeptRecordCapacity = 1 << 20;

util::Log& log()
{
    static memorylib::gc_ptr<util::Log> instance = util::Log::getLog(L"ldapmodel");
    return *instance;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Exports may hold password values: a file they create is the owner's
// alone; an existing file keeps the mode it has.
FilePtr openForAppending(const std::wstring& fileName)
{
    const int fd = ::open(util::toUtf8(fileName).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return nullptr;
    FilePtr file(::fdopen(fd, "ab"));
    if (file == nullptr)
        ::close(fd);
    return file;
}

// A file opened for reading, closed when it goes out of scope.
class InputFile {
public:
    explicit InputFile(const std::wstring& fileName)
        : m_fd(::open(util::toUtf8(fileName).c_str(), O_RDONLY | O_CLOEXEC))
    {
    }
    ~InputFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Lines of a file, read in blocks. The line feed, and a carriage return
// before it, are not part of the line; a last line without a line feed
// counts (a carriage return at its end is dropped as well).
class LineSource {
public:
    explicit LineSource(int fd) : m_fd(fd), m_buffer(1 << 16) {}

    // Appends the next line to out. start and end: where the line lies in
    // the file, its line end included; ending: the line end as it was
    // ("\r\n" or "\n"; a last line without one gets "\n"). false at the end
    // of the file.
    bool appendNext(std::string& out, long long& start, long long& end, const char*& ending)
    {
        const std::size_t lineStart = out.size();
        start = m_llBufferOffset + static_cast<long long>(m_uPosition);
        bool any = false;
        for (;;) {
            if (m_uPosition == m_uLength && !fill()) {
                end = m_llBufferOffset + static_cast<long long>(m_uLength);
                ending = dropCarriageReturn(out, lineStart) ? "\r\n" : "\n";
                return any;
            }
            const char* from = m_buffer.data() + m_uPosition;
            const std::size_t available = m_uLength - m_uPosition;
            const void* found = std::memchr(from, '\n', available);
            if (found != nullptr) {
                const auto length = static_cast<std::size_t>(static_cast<const char*>(found) - from);
                out.append(from, length);
                m_uPosition += length + 1;
                end = m_llBufferOffset + static_cast<long long>(m_uPosition);
                ending = dropCarriageReturn(out, lineStart) ? "\r\n" : "\n";
                return true;
            }
            out.append(from, available);
            m_uPosition = m_uLength;
            any = true;
        }
    }

private:
    // A read error ends the file like its end does.
    bool fill()
    {
        m_llBufferOffset += static_cast<long long>(m_uLength);
        m_uPosition = 0;
        m_uLength = 0;
        for (;;) {
            ssize_t count = ::read(m_fd, m_buffer.data(), m_buffer.size());
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                return false;
            m_uLength = static_cast<std::size_t>(count);
            return true;
        }
    }

    static bool dropCarriageReturn(std::string& out, std::size_t lineStart)
    {
        if (out.size() == lineStart || out.back() != '\r')
            return false;
        out.pop_back();
        return true;
    }

    int m_fd;
    std::vector<char> m_buffer;
    long long m_llBufferOffset = 0;
    std::size_t m_uPosition = 0;
    std::size_t m_uLength = 0;
};

// Splits a file into records (see the class comment) and hands each to a
// handler. The record's lines as read are taken from the file again when
// asked for, so a record is held in memory once; a file that can't be read
// twice (a pipe) keeps them as well.
class RecordScanner {
public:
    enum class End { EndOfFile, Handler, StopRequest };
    // May take the record's bytes; answers false to stop.
    using Handler = std::function<bool(std::string& record)>;

    explicit RecordScanner(int fd) : m_fd(fd), m_source(fd)
    {
        struct stat info {};
        m_bRereadable = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    }

    End scan(const Handler& handler, const std::function<bool()>& stopRequested)
    {
        std::string record;
        bool afterComment = false;
        auto finish = [&]() {
            const bool goOn = handler(record);
            record.clear();
            return goOn;
        };
        for (;;) {
            if (stopRequested && stopRequested())
                return End::StopRequest;
            const std::size_t lineStart = record.size();
            long long start = 0;
            long long end = 0;
            const char* ending = "\n";
            if (!m_source.appendNext(record, start, end, ending))
                break;
            const char* line = record.data() + lineStart;
            const std::size_t length = record.size() - lineStart;
            std::size_t firstVisible = 0;
            while (firstVisible < length && line[firstVisible] == ' ')
                ++firstVisible;
            if (firstVisible == length) {
                afterComment = false;
                record.resize(lineStart);
                if (!record.empty() && !finish())
                    return End::Handler;
                continue;
            }
            const bool comment = line[0] == '#' || (line[0] == ' ' && afterComment) ||
                                 (lineStart == 0 && line[firstVisible] == '#');
            if (comment) {
                afterComment = true;
                if (lineStart > 0)
                    takeLineAsRead(line, length, ending, end);
                record.resize(lineStart);
                continue;
            }
            afterComment = false;
            if (lineStart == 0) {
                m_llStart = start;
                m_linesAsRead.clear();
            }
            takeLineAsRead(line, length, ending, end);
            record += '\n';
        }
        if (!record.empty() && !finish())
            return End::Handler;
        return End::EndOfFile;
    }

    // The lines of the record being handled as they were read, comments
    // inside it included, each with its line end.
    std::string linesAsRead() const
    {
        if (!m_bRereadable)
            return m_linesAsRead;
        std::string text(static_cast<std::size_t>(m_llEnd - m_llStart), '\0');
        std::size_t got = 0;
        while (got < text.size()) {
            ssize_t count = ::pread(m_fd, text.data() + got, text.size() - got,
                                    static_cast<off_t>(m_llStart + static_cast<long long>(got)));
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                break;
            got += static_cast<std::size_t>(count);
        }
        text.resize(got);
        // The last line of a file may lack its line end.
        if (!text.empty() && text.back() != '\n')
            text += '\n';
        return text;
    }

private:
    void takeLineAsRead(const char* line, std::size_t length, const char* ending, long long end)
    {
        m_llEnd = end;
        if (!m_bRereadable)
            m_linesAsRead.append(line, length).append(ending);
    }

    int m_fd;
    LineSource m_source;
    bool m_bRereadable = false;
    long long m_llStart = 0;
    long long m_llEnd = 0;
    std::string m_linesAsRead;  // only for a file that can't be read twice
};

// The reason a refused add is counted under: the model's report of it,
// else the first box the add asked for.
std::wstring addRefusalReason(const Model& model, const util::MessageBoxCapture& capture)
{
    std::wstring reason = model.getLastAddError();
    if (reason.empty() && !capture.boxes().empty())
        reason = capture.boxes().front().text;
    return reason.empty() ? std::wstring(L"not added") : reason;
}

} // namespace

LDAPLdifFile::LDAPLdifFile(const std::wstring& fileName)
    : m_strFileName(fileName.empty() ? std::wstring(DEFAULT_FILE_NAME) : fileName),
      m_strErrorFileName(DEFAULT_FILE_NAME)
{
}

LDAPLdifFile::~LDAPLdifFile() = default;

int LDAPLdifFile::appendToFile(const std::wstring& fileName, const std::string& bytes)
{
    FilePtr file = openForAppending(fileName);
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
    std::vector<std::wstring> skipped;
    std::string record = LdifRecordWriter::entryRecord(entry, m_iLineWidth, &skipped, m_bAsciiOnly);
    for (const std::wstring& name : skipped) {
        if (m_skippedNames.size() < kMaxSkippedNames)
            m_skippedNames.insert(name);
    }
    record += '\n';
    if (appendToFile(m_strFileName, record) != 0)
        return -1;
    ++m_iWrittenCount;
    return 0;
}

int LDAPLdifFile::readRecords(const RecordHandler& handler, const std::function<bool()>& stopRequested) const
{
    DIRLOOK_GUARD(L"LDAPLdifFile");
    InputFile file(m_strFileName);
    if (file.get() < 0)
        return -1;
    RecordScanner scanner(file.get());
    scanner.scan([&](std::string& record) { return handler(record, scanner.linesAsRead()); }, stopRequested);
    return 0;
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
    InputFile file(m_strFileName);
    if (file.get() < 0)
        return -1;
    m_pImportReport = std::make_unique<LdifImportReport>(m_strErrorFileName);
    LdifImportReport& report = *m_pImportReport;

    model.progressStep();
    int result = 0;
    bool unreadable = false;
    RecordScanner scanner(file.get());
    // After each record, added or not: the pause, the counts, the progress.
    auto recordDone = [&](const std::wstring& dn) {
        if (m_iEntryPauseMilliseconds > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(m_iEntryPauseMilliseconds));
        g_importedEntryCount.fetch_add(1);
        model.getBackgroundState().setCurrentDN(dn);
        model.getBackgroundState().incrementProgressCount();
        model.progressStep();
    };
    auto importChange = [&](const std::string& record) {
        LdifChangeRecord change;
        const int read = change.read(record);
        if (LdifRecordReader::holdsZeroByte(record)) {
            result = -1;
            report.refuse(change.getDN(), scanner.linesAsRead(), 0, L"a line holds a zero byte");
        } else if (read != 0) {
            report.stopAt(change.getDN(), scanner.linesAsRead());
            unreadable = true;
            return false;
        } else if (!change.getCriticalControls().empty()) {
            // Made without its control the change could mean something else.
            result = -1;
            report.refuse(change.getDN(), scanner.linesAsRead(), 0,
                          L"the critical control " + change.getCriticalControls().front() + L" is not supported");
        } else {
            util::MessageBoxCapture capture;
            const int code = model.applyLdifChange(change);
            result = code == 0 ? 0 : -1;
            if (code != 0)
                report.refuse(change.getDN(), scanner.linesAsRead(), code > 0 ? code : 0,
                              addRefusalReason(model, capture));
            else if (change.getType() == LdifChangeRecord::Type::Add)
                report.countAdded();
            else
                report.countChanged();
        }
        recordDone(change.getDN());
        return true;
    };
    auto importRecord = [&](std::string& record) {
        if (LdifChangeRecord::isChangeRecord(record))
            return importChange(record);
        memorylib::gc_ptr<LDAPEntry> entry = new LDAPEntry();
        const bool zeroByte = LdifRecordReader::holdsZeroByte(record);
        const int read = LdifRecordReader::createFromLdifString(*entry, std::move(record));
        // The entry holds the values now; a large record's text goes.
        if (record.capacity() > kKeptRecordCapacity)
            std::string().swap(record);
        if (zeroByte) {
            // Taking the text up to the zero would add something else.
            result = -1;
            entry->clear();
            report.refuse(entry->getDN(), scanner.linesAsRead(), 0, L"a line holds a zero byte");
        } else if (read != 0) {
            report.stopAt(entry->getDN(), scanner.linesAsRead());
            unreadable = true;
            return false;
        } else if (entry->getDN().empty() && entry->getUserAttributeCount() == 0) {
            return true;  // nothing but "version: 1": no entry
        } else {
            // Refusals are counted for the summary rather than shown one by one.
            util::MessageBoxCapture capture;
            result = model.syn_addEntry(entry);
            if (result == 0) {
                report.countAdded();
            } else {
                const int code = model.getLastAddResult();
                // Its values are not needed for the error file, which takes the text as read.
                entry->clear();
                report.refuse(entry->getDN(), scanner.linesAsRead(), code > 0 ? code : 0,
                              addRefusalReason(model, capture));
            }
        }
        recordDone(entry->getDN());
        return true;
    };
    if (scanner.scan(importRecord, [&model]() { return model.isStopRequested(); }) ==
        RecordScanner::End::StopRequest)
        report.setStopped();
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
