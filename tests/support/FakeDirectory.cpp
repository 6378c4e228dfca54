#include "support/FakeDirectory.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>

namespace dirtest {

namespace {

std::string tlv(unsigned char tag, const std::string& content)
{
    std::string out(1, static_cast<char>(tag));
    std::size_t size = content.size();
    if (size < 0x80) {
        out.push_back(static_cast<char>(size));
    } else {
        std::string bytes;
        for (; size != 0; size >>= 8)
            bytes.insert(bytes.begin(), static_cast<char>(size & 0xFF));
        out.push_back(static_cast<char>(0x80 | bytes.size()));
        out += bytes;
    }
    return out + content;
}

std::string message(int id, const std::string& operation)
{
    std::string number;
    for (unsigned int value = static_cast<unsigned int>(id);; value >>= 8) {
        number.insert(number.begin(), static_cast<char>(value & 0xFF));
        if (value < 0x80)
            break;
    }
    return tlv(0x30, tlv(0x02, number) + operation);
}

std::string result(unsigned char tag, int code)
{
    return tlv(tag, tlv(0x0A, std::string(1, static_cast<char>(code))) + tlv(0x04, "") + tlv(0x04, ""));
}

std::string searchEntry(int id, const std::string& dn, const FakeDirectory::Attributes& attributes)
{
    std::string encoded;
    for (const auto& attribute : attributes) {
        std::string values;
        for (const std::string& value : attribute.second)
            values += tlv(0x04, value);
        encoded += tlv(0x30, tlv(0x04, attribute.first) + tlv(0x31, values));
    }
    return message(id, tlv(0x64, tlv(0x04, dn) + tlv(0x30, encoded)));
}

bool readAll(int fd, std::string& buffer, std::size_t count)
{
    while (count > 0) {
        char chunk[4096];
        ssize_t got = ::recv(fd, chunk, std::min(count, sizeof(chunk)), 0);
        if (got <= 0)
            return false;
        buffer.append(chunk, static_cast<std::size_t>(got));
        count -= static_cast<std::size_t>(got);
    }
    return true;
}

// One whole message: its tag, length and contents.
bool readMessage(int fd, std::string& contents)
{
    std::string header;
    if (!readAll(fd, header, 2))
        return false;
    std::size_t length = static_cast<unsigned char>(header[1]);
    if (length & 0x80) {
        std::string bytes;
        if (!readAll(fd, bytes, length & 0x7F))
            return false;
        length = 0;
        for (char c : bytes)
            length = (length << 8) | static_cast<unsigned char>(c);
    }
    contents.clear();
    return readAll(fd, contents, length);
}

// Reads tag and length at pos; leaves pos on the contents.
bool header(const std::string& data, std::size_t& pos, unsigned char& tag, std::size_t& length)
{
    if (pos + 2 > data.size())
        return false;
    tag = static_cast<unsigned char>(data[pos++]);
    length = static_cast<unsigned char>(data[pos++]);
    if (length & 0x80) {
        std::size_t count = length & 0x7F;
        length = 0;
        for (; count > 0 && pos < data.size(); --count)
            length = (length << 8) | static_cast<unsigned char>(data[pos++]);
    }
    return pos + length <= data.size();
}

bool atOrBelow(const std::string& dn, const std::string& base)
{
    return dn == base || base.empty() ||
           (dn.size() > base.size() && dn.compare(dn.size() - base.size(), base.size(), base) == 0 &&
            dn[dn.size() - base.size() - 1] == ',');
}

} // namespace

FakeDirectory::FakeDirectory()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(m_listener, 4) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { run(); });
}

FakeDirectory::~FakeDirectory()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listener >= 0)
        ::close(m_listener);
}

void FakeDirectory::setEntry(const std::string& dn, const Attributes& attributes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries[dn] = attributes;
}

std::vector<std::string> FakeDirectory::searchBases() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bases;
}

void FakeDirectory::setSearchResultCode(int code)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_iSearchResultCode = code;
}

void FakeDirectory::setDropAfterEntries(int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_iDropAfterEntries = count;
}

std::vector<std::pair<std::string, bool>> FakeDirectory::deletes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_deletes;
}

bool FakeDirectory::hasEntry(const std::string& dn) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_entries.count(dn) != 0;
}

std::string FakeDirectory::deleteReply(int id, const std::string& dn, bool subtree)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_deletes.emplace_back(dn, subtree);
    if (m_entries.count(dn) == 0)
        return message(id, result(0x6B, 32));
    int below = 0;
    for (const auto& entry : m_entries)
        below += entry.first != dn && atOrBelow(entry.first, dn) ? 1 : 0;
    if (below > 0 && !subtree)
        return message(id, result(0x6B, 66));
    for (auto it = m_entries.begin(); it != m_entries.end();)
        it = atOrBelow(it->first, dn) ? m_entries.erase(it) : std::next(it);
    return message(id, result(0x6B, 0));
}

void FakeDirectory::run()
{
    while (!m_stop) {
        pollfd wait{m_listener, POLLIN, 0};
        if (::poll(&wait, 1, 50) <= 0)
            continue;
        int fd = ::accept(m_listener, nullptr, nullptr);
        if (fd < 0)
            continue;
        serve(fd);
        ::close(fd);
    }
}

// The reply to a search; drop tells that the connection is to be closed
// after it (it then holds the entries before the drop, without a result).
std::string FakeDirectory::searchReply(int id, const std::string& base, int scope, bool& drop)
{
    drop = false;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bases.push_back(base);
    if (scope == 0) {
        auto found = m_entries.find(base);
        if (found == m_entries.end())
            return message(id, result(0x65, 32));
        return searchEntry(id, base, found->second) + message(id, result(0x65, 0));
    }
    std::string reply;
    int sent = 0;
    for (const auto& entry : m_entries) {
        if (!atOrBelow(entry.first, base))
            continue;
        if (sent == m_iDropAfterEntries) {
            drop = true;
            return reply;
        }
        reply += searchEntry(id, entry.first, entry.second);
        ++sent;
    }
    return reply + message(id, result(0x65, m_iSearchResultCode));
}

void FakeDirectory::serve(int fd)
{
    std::string contents;
    while (!m_stop) {
        pollfd wait{fd, POLLIN, 0};
        if (::poll(&wait, 1, 50) <= 0)
            continue;
        if (!readMessage(fd, contents))
            return;
        std::size_t pos = 0;
        unsigned char tag = 0;
        std::size_t length = 0;
        if (!header(contents, pos, tag, length) || tag != 0x02)
            return;
        int id = 0;
        for (std::size_t i = 0; i < length; ++i)
            id = (id << 8) | static_cast<unsigned char>(contents[pos + i]);
        pos += length;
        if (!header(contents, pos, tag, length))
            return;
        std::string reply;
        bool drop = false;
        if (tag == 0x60) {
            reply = message(id, result(0x61, 0));
        } else if (tag == 0x63) {
            unsigned char fieldTag = 0;
            std::size_t fieldLength = 0;
            if (!header(contents, pos, fieldTag, fieldLength))
                return;
            const std::string base = contents.substr(pos, fieldLength);
            pos += fieldLength;
            int scope = 0;
            if (header(contents, pos, fieldTag, fieldLength) && fieldTag == 0x0A && fieldLength == 1)
                scope = static_cast<unsigned char>(contents[pos]);
            reply = searchReply(id, base, scope, drop);
        } else if (tag == 0x4A) {
            const std::string dn = contents.substr(pos, length);
            pos += length;
            // Controls: [0] { SEQUENCE { OID, criticality?, value? } ... }
            bool subtree = false;
            unsigned char controlsTag = 0;
            std::size_t controlsLength = 0;
            if (header(contents, pos, controlsTag, controlsLength) && controlsTag == 0xA0)
                subtree = contents.find("1.2.840.113556.1.4.805", pos) != std::string::npos;
            reply = deleteReply(id, dn, subtree);
        } else if (tag == 0x42) {
            return;
        } else {
            continue;
        }
        if (!reply.empty() &&
            ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(reply.size()))
            return;
        if (drop)
            return;
    }
}

} // namespace dirtest
