// The X3G offline print file: the payloads of a print list back to back.
#include "X3gWriter.h"

#include "TemporaryFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AtomicFileWriter.h"
#include "MachinePackages.h"

namespace zelk {

namespace {

// Collects payloads into blocks so the sink is called rarely.
class BlockBuffer {
public:
    explicit BlockBuffer(const X3gSink& sink) : m_sink(sink) {}

    bool Append(const unsigned char* bytes, std::size_t size)
    {
        if (m_used + size > kBlockBytes && !Flush())
            return false;
        if (size <= kMaxPayloadBytes)
            CopyPayloadBytes(m_block.get() + m_used, bytes, size);
        else
            std::memcpy(m_block.get() + m_used, bytes, size);
        m_used += size;
        return true;
    }

    bool AppendPayload(const Package& package)
    {
        return Append(package.Payload(), static_cast<std::size_t>(package.PayloadSize()));
    }

    bool Flush()
    {
        if (m_used == 0)
            return true;
        const bool ok = m_sink(m_block.get(), m_used);
        m_used = 0;
        return ok;
    }

private:
    static constexpr std::size_t kBlockBytes = std::size_t(1) << 18;

    const X3gSink& m_sink;
    std::unique_ptr<unsigned char[]> m_block{new unsigned char[kBlockBytes]};
    std::size_t m_used = 0;
};

// Where the percentages and the extra wait go in a stream of n packages, as
// WriteX3gStream lays them out; the packages are handed in one at a time.
class StreamLayout {
public:
    StreamLayout(std::size_t n, BlockBuffer& buffer) : m_n(n), m_step(n / 100), m_buffer(buffer) {}

    bool Add(const unsigned char* payload, std::size_t size)
    {
        if (m_i == m_next) {
            if (!m_buffer.AppendPayload(PrintPercentPackage(m_percent)))
                return false;
            ++m_percent;
            m_next += m_step;
        }
        if (!m_buffer.Append(payload, size))
            return false;
        if (m_i == 11 && !m_buffer.AppendPayload(WaitForToolPackage()))
            return false;
        ++m_i;
        return true;
    }

    bool End()
    {
        if (m_n > 0 && m_step > 0 && m_n % m_step != 0 && !m_buffer.AppendPayload(PrintPercentPackage(100)))
            return false;
        return m_buffer.Flush();
    }

private:
    std::size_t m_n;
    std::size_t m_step;
    BlockBuffer& m_buffer;
    std::size_t m_i = 0;
    std::size_t m_next = 0;
    int m_percent = 0;
};

bool WriteAll(int fd, const unsigned char* bytes, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool WriteX3gStream(const PrintList& packages, const X3gSink& sink)
{
    BlockBuffer buffer(sink);
    StreamLayout layout(packages.size(), buffer);
    for (std::size_t i = 0; i < packages.size(); ++i) {
        const std::span<const unsigned char> payload = packages.Payload(i);
        if (!layout.Add(payload.data(), payload.size()))
            return false;
    }
    return layout.End();
}

bool WriteX3gFile(const PrintList& packages, const std::string& path, std::string* error)
{
    AtomicFileWriter writer(path);
    bool ok = writer.Open();
    if (ok) {
        ok = WriteX3gStream(packages, [&writer](const unsigned char* bytes, std::size_t size) {
            return writer.Write(bytes, size);
        });
    }
    ok = ok && writer.Commit(false);
    if (!ok && error != nullptr)
        *error = writer.Error();
    return ok;
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

X3gSpool::Options X3gSpoolOptionsFor(const std::string& path)
{
    X3gSpool::Options options;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode))
        options.folder = FolderOf(path);
    options.name = path;
    return options;
}

X3gSpool::X3gSpool() : X3gSpool(Options()) {}

X3gSpool::X3gSpool(Options options) : m_options(std::move(options))
{
    // Room for at least one record, whatever the budget.
    m_capacity = std::max<std::size_t>(m_options.memoryBytes, 1 + kMaxPayloadBytes);
    m_buffer.reset(new unsigned char[m_capacity]);
}

X3gSpool::~X3gSpool()
{
    if (m_file >= 0)
        ::close(m_file);
}

bool X3gSpool::Fail(const std::string& what, int err)
{
    if (!m_failed) {
        m_failed = true;
        m_error = what + " " + (m_options.name.empty() ? std::string("the X3G stream") : m_options.name) + ": " +
                  std::strerror(err);
    }
    return false;
}

bool X3gSpool::Refuse(std::size_t size)
{
    if (m_failed)
        return false;
    return Fail("cannot write a package of " + std::to_string(size) + " bytes to", EINVAL);
}

bool X3gSpool::OpenFile()
{
    m_file = OpenUnlinkedTemporaryFile(m_options.folder);
    return m_file >= 0 || Fail("cannot write", errno != 0 ? errno : EIO);
}

bool X3gSpool::Spill()
{
    if (m_failed)
        return false;
    if (m_file < 0 && !OpenFile())
        return false;
    if (!WriteAll(m_file, m_buffer.get(), m_used))
        return Fail("cannot write", errno != 0 ? errno : EIO);
    m_fileBytes += m_used;
    m_used = 0;
    return true;
}

void X3gSpool::Clear()
{
    if (m_file >= 0)
        ::close(m_file);
    m_file = -1;
    m_fileBytes = 0;
    m_used = 0;
    m_count = 0;
    m_failed = false;
    m_error.clear();
}

bool X3gSpool::WriteTo(const X3gSink& sink)
{
    if (m_failed)
        return false;
    BlockBuffer buffer(sink);
    StreamLayout layout(m_count, buffer);
    auto replay = [&layout](const unsigned char* at, const unsigned char* end) -> const unsigned char* {
        // The whole records in [at, end); returns where the first partial one begins.
        while (at < end && static_cast<std::size_t>(end - at) >= 1u + at[0]) {
            if (!layout.Add(at + 1, at[0]))
                return nullptr;
            at += 1 + at[0];
        }
        return at;
    };
    if (m_file < 0) {
        const unsigned char* rest = replay(m_buffer.get(), m_buffer.get() + m_used);
        if (rest == nullptr)
            return false;
    } else {
        // Everything to the file, then read back in order through the same buffer.
        if (!Spill())
            return false;
        unsigned long long offset = 0;
        std::size_t kept = 0;  // a record cut by the end of the last read
        while (offset < m_fileBytes) {
            const std::size_t want =
                static_cast<std::size_t>(std::min<unsigned long long>(m_capacity - kept, m_fileBytes - offset));
            const ssize_t n = ::pread(m_file, m_buffer.get() + kept, want, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return Fail("cannot read back the spool of", n < 0 ? errno : EIO);
            offset += static_cast<unsigned long long>(n);
            const unsigned char* end = m_buffer.get() + kept + static_cast<std::size_t>(n);
            const unsigned char* rest = replay(m_buffer.get(), end);
            if (rest == nullptr)
                return false;
            kept = static_cast<std::size_t>(end - rest);
            std::memmove(m_buffer.get(), rest, kept);
        }
        if (kept != 0)
            return Fail("cannot read back the spool of", EIO);
    }
    if (!layout.End())
        return false;
    return true;
}

bool WriteX3gFile(X3gSpool& spool, const std::string& path, std::string* error)
{
    if (spool.Failed()) {
        if (error != nullptr)
            *error = spool.Error();
        return false;
    }
    AtomicFileWriter writer(path);
    bool ok = writer.Open();
    if (ok)
        ok = spool.WriteTo(
            [&writer](const unsigned char* bytes, std::size_t size) { return writer.Write(bytes, size); });
    ok = ok && writer.Commit(false);
    if (!ok && error != nullptr)
        *error = spool.Failed() ? spool.Error() : writer.Error();
    if (!ok)
        writer.Discard();
    return ok;
}

}  // namespace zelk
