// The X3G offline print file: the payloads of a print list back to back.
#include "X3gWriter.h"

#include <cstring>
#include <memory>

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
        if (m_used + size > sizeof m_block && !Flush())
            return false;
        std::memcpy(m_block + m_used, bytes, size);
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
        const bool ok = m_sink(m_block, m_used);
        m_used = 0;
        return ok;
    }

private:
    const X3gSink& m_sink;
    unsigned char m_block[1 << 16];
    std::size_t m_used = 0;
};

}  // namespace

bool WriteX3gStream(const std::vector<Package>& packages, const X3gSink& sink)
{
    static const Package waitForTool = WaitForToolPackage();
    auto buffer = std::make_unique<BlockBuffer>(sink);
    const std::size_t n = packages.size();
    const std::size_t step = n / 100;
    std::size_t next = 0;
    int percent = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i == next) {
            if (!buffer->AppendPayload(PrintPercentPackage(percent)))
                return false;
            ++percent;
            next += step;
        }
        if (!buffer->AppendPayload(packages[i]))
            return false;
        if (i == 11 && !buffer->AppendPayload(waitForTool))
            return false;
    }
    if (n > 0 && step > 0 && n % step != 0 && !buffer->AppendPayload(PrintPercentPackage(100)))
        return false;
    return buffer->Flush();
}

bool WriteX3gFile(const std::vector<Package>& packages, const std::string& path, std::string* error)
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

}  // namespace zelk
