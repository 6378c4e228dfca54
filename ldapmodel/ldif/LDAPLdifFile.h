#pragma once

#include "handles/gc_ptr.h"
#include "handles/RefCount.h"
#include "records/LDAPEntry.h"

#include <functional>
#include <memory>
#include <set>
#include <string>

namespace ldapmodel {

class LdifImportReport;
class Model;

// An LDIF file: entries are appended to it as records, or its records are
// imported into the directory through the Model.
//
// Import (readEntries): the file is read line by line; a line ending in
// CR LF loses both. A line that starts with "#" is a comment, and so is a
// line starting with a space right after a comment (its continuation) or
// before any line of a record whose first non-space character is "#".
// Comments are dropped. An empty line or a line of spaces ends a record;
// every other line belongs to the record being collected, so a line
// starting with a space inside a record continues the line before it. Each
// content record goes through LdifRecordReader and Model::syn_addEntry, each
// change record (LdifChangeRecord) through Model::applyLdifChange. A record
// that is not added or applied is kept, as it was read, in the error file (see
// LdifErrorFile) after a comment naming the DN and the reason: a record the
// server refuses, one holding a zero byte, and one that can't be read, which
// also ends the import. The import's report (getImportReport) counts them
// all for the summary the user is given at the end.
class LDAPLdifFile : public memorylib::RefCount {
public:
    static constexpr int DEFAULT_LINE_WIDTH = 78;
    static constexpr int DEFAULT_ENTRY_PAUSE_MILLISECONDS = 10;
    // The name a file takes when given none, and the error file's preferred
    // name; in the working directory.
    static const wchar_t DEFAULT_FILE_NAME[];

    // An empty name gives DEFAULT_FILE_NAME. Line width 78.
    explicit LDAPLdifFile(const std::wstring& fileName = std::wstring());
    ~LDAPLdifFile() override;

    void setFileName(const std::wstring& fileName) { m_strFileName = fileName; }
    const std::wstring& getFileName() const { return m_strFileName; }
    void setLineWidth(int lineWidth) { m_iLineWidth = lineWidth; }
    int getLineWidth() const { return m_iLineWidth; }
    // Appended records write every DN and value holding a byte outside
    // printable ASCII in Base64 (see LdifRecordWriter::entryRecord). Off
    // unless set.
    void setAsciiOnly(bool asciiOnly) { m_bAsciiOnly = asciiOnly; }
    bool isAsciiOnly() const { return m_bAsciiOnly; }

    // Appends the entry's record at the file's line width and one empty
    // line (file opened in binary append mode and closed again). 0, or -1
    // when there is no entry or the file can't be opened or written.
    // Attributes whose names LdifRecordWriter won't write are left out and
    // remembered (getSkippedAttributeNames).
    int appendEntry(const memorylib::gc_ptr<LDAPEntry>& entry);
    int appendEntry(const LDAPEntry& entry);
    // Entries appended by this object.
    int getWrittenCount() const { return m_iWrittenCount; }
    // Attribute names left out of the records appended by this object.
    const std::set<std::wstring>& getSkippedAttributeNames() const { return m_skippedNames; }

    // Imports the whole file into the directory of the Model's instance.
    int readEntries();
    // Imports through model: its stop request is tested before each line;
    // its progress observer's step is called once before the first line and
    // after each entry, when the model's progress count and current DN have
    // been updated. After each entry the import pauses (10 ms) and the
    // process-wide imported-entry count goes up by one. The server's
    // refusals show no box: they are counted in the report. Returns -1 when
    // the file can't be opened or a record can't be read (the import stops
    // there), otherwise the result of the last syn_addEntry (0 when there
    // was none). Safe on the model's worker thread.
    int readEntries(Model& model);
    // The report of the last readEntries; null before one.
    const LdifImportReport* getImportReport() const { return m_pImportReport.get(); }

    // The records of the file, without a server: record is the record's
    // lines (comments dropped) each ended by a line feed, linesAsRead the
    // same lines and the comment lines inside the record, as read (line
    // ends included). The handler answers false to stop; stopRequested,
    // when given, is asked before each line. -1 when the file can't be
    // opened, otherwise 0.
    using RecordHandler = std::function<bool(const std::string& record, const std::string& linesAsRead)>;
    int readRecords(const RecordHandler& handler,
                    const std::function<bool()>& stopRequested = std::function<bool()>()) const;

    // The error file's preferred name (see LdifErrorFile); DEFAULT_FILE_NAME
    // unless set.
    void setErrorFileName(const std::wstring& fileName) { m_strErrorFileName = fileName; }
    const std::wstring& getErrorFileName() const { return m_strErrorFileName; }

    // Pause after each imported entry, 10 ms unless set. Only the fuzz
    // target sets it (to 0), so that it runs at speed.
    void setEntryPause(int milliseconds) { m_iEntryPauseMilliseconds = milliseconds; }
    int getEntryPause() const { return m_iEntryPauseMilliseconds; }

    // Entries imported by every readEntries of the process (refused ones
    // included), for the progress display.
    static int getImportedEntryCount();
    static void resetImportedEntryCount();

    // Appends bytes to the named file (binary). 0 or -1.
    static int appendToFile(const std::wstring& fileName, const std::string& bytes);

private:
    std::wstring m_strFileName;
    int m_iLineWidth = DEFAULT_LINE_WIDTH;
    bool m_bAsciiOnly = false;
    std::wstring m_strErrorFileName;
    int m_iEntryPauseMilliseconds = DEFAULT_ENTRY_PAUSE_MILLISECONDS;
    int m_iWrittenCount = 0;
    std::set<std::wstring> m_skippedNames;
    std::unique_ptr<LdifImportReport> m_pImportReport;
};

} // namespace ldapmodel
