// Fuzzes the STL reader (binary and ASCII, told apart by content) through its piecewise input.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzSupport.h"
#include "StlParser.h"

namespace {

// Serves the bytes like a file, but fails every read that reaches failAt, as
// a disk or a network share can half-way through a load.
class FailingInput : public zelk::StlInput {
public:
    FailingInput(const char* data, std::size_t size, std::size_t failAt) : m_data(data), m_size(size), m_failAt(failAt)
    {
    }
    std::size_t Size() const override { return m_size; }
    long long ReadAt(std::size_t offset, char* buffer, std::size_t count, std::string& error) override
    {
        if (offset >= m_size)
            return 0;
        const std::size_t n = std::min(count, m_size - offset);
        if (offset + n > m_failAt) {
            error = "read failed";
            return -1;
        }
        std::memcpy(buffer, m_data + offset, n);
        return static_cast<long long>(n);
    }

private:
    const char* m_data;
    std::size_t m_size;
    std::size_t m_failAt;
};

bool SameMesh(const ZELKGePrint& a, const ZELKGePrint& b)
{
    const auto& ta = a.GetGePrint();
    const auto& tb = b.GetGePrint();
    return ta.size() == tb.size() && (ta.empty() || std::memcmp(ta.data(), tb.data(), ta.size() * sizeof ta[0]) == 0);
}

// A load either gives facets with finite corners inside the mesh's box, or
// leaves the mesh empty with a one-line reason.
void CheckResult(bool ok, const ZELKGePrint& mesh, const std::string& reason)
{
    if (!ok) {
        FUZZ_CHECK(mesh.IsEmpty(), "a refused file left facets");
        FUZZ_CHECK(!reason.empty(), "a refusal without a reason");
        FUZZ_CHECK(reason.find('\n') == std::string::npos, reason.c_str());
        return;
    }
    FUZZ_CHECK(!mesh.IsEmpty(), "a loaded file without facets");
    const ZELKGePoint3d& lo = mesh.MinPoint();
    const ZELKGePoint3d& hi = mesh.MaxPoint();
    for (const Triangle& t : mesh.GetGePrint()) {
        for (const ZELKGePoint3d& p : t.point) {
            FUZZ_CHECK(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z), "corner not finite");
            FUZZ_CHECK(p.x >= lo.x && p.y >= lo.y && p.z >= lo.z, "corner below the box");
            FUZZ_CHECK(p.x <= hi.x && p.y <= hi.y && p.z <= hi.z, "corner above the box");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider provider(data, size);
    const std::size_t failAt = provider.ConsumeIntegral<std::uint16_t>();
    const std::string bytes = provider.ConsumeRemainingBytesAsString();

    ZELKGePrint mesh;
    std::string reason;
    const bool ok = zelk::ParseStl(bytes.data(), bytes.size(), mesh, reason);
    CheckResult(ok, mesh, reason);
    // Binary data whose size matches its facet count is read whole.
    if (ok && bytes.size() >= 84) {
        std::uint32_t announced = 0;
        std::memcpy(&announced, bytes.data() + 80, sizeof announced);
        if (announced > 0 && bytes.size() - 84 == std::size_t{announced} * 50)
            FUZZ_CHECK(mesh.GetGePrint().size() == announced, "binary facet count");
    }

    // Each format on its own keeps the same contract.
    ZELKGePrint binary, ascii;
    std::string binaryReason, asciiReason;
    zelk::MemoryStlInput memory(bytes.data(), bytes.size());
    CheckResult(zelk::ReadBinaryStl(memory, binary, binaryReason), binary, binaryReason);
    CheckResult(zelk::ReadAsciiStl(memory, ascii, asciiReason), ascii, asciiReason);
    if (ok)
        FUZZ_CHECK(SameMesh(mesh, binary) || SameMesh(mesh, ascii), "the load matches neither format");

    // Read as two halves split near any offset, the ASCII reading is the same,
    // refusals and their line numbers included.
    zelk::StlReadOptions halves;
    halves.splitBytes = 0;
    halves.splitAt = failAt % (bytes.size() + 1);
    ZELKGePrint split;
    std::string splitReason;
    const bool splitOk = zelk::ReadAsciiStl(memory, split, splitReason, halves);
    FUZZ_CHECK(splitOk == !ascii.IsEmpty() && SameMesh(split, ascii), "the halves read other facets");
    FUZZ_CHECK(splitOk || splitReason == asciiReason, "the halves refuse for another reason");
    FUZZ_CHECK(std::memcmp(&split.MinPoint(), &ascii.MinPoint(), sizeof(ZELKGePoint3d)) == 0 &&
                   std::memcmp(&split.MaxPoint(), &ascii.MaxPoint(), sizeof(ZELKGePoint3d)) == 0,
               "the halves give other corners");

    // A read error part-way gives either the full result (the failing part
    // was never needed) or a clean refusal.
    FailingInput failing(bytes.data(), bytes.size(), failAt);
    ZELKGePrint partial;
    std::string partialReason;
    const bool partialOk = zelk::ReadStl(failing, partial, partialReason);
    CheckResult(partialOk, partial, partialReason);
    if (partialOk)
        FUZZ_CHECK(ok && SameMesh(partial, mesh), "a failed read changed the facets");
    return 0;
}
