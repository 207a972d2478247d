// Fuzzes the translation of a whole G-code file: reading, cleaning and translating every line, and the same file streamed.
#include <cstdint>
#include <string>
#include <vector>

#include "GCodeFuzz.h"
#include "MachinePackages.h"
#include "S3GFrameAssembler.h"
#include "X3gWriter.h"

namespace {

// The same file streamed (read in blocks of a size the input picks, its
// packages spooled, for some inputs through the spool's file) gives the same
// outcome and, unless refused, the X3G bytes of the whole file's list.
void CheckStreamed(const std::string& path, const std::uint8_t* data, std::size_t size,
                   const zelk::PrintList& packages, const zelk::GCodeFileOutcome& whole)
{
    ZELKMachine machine;
    ZELKGCodeParser streamer(&machine, &fuzzsupport::FuzzStartGCode());
    zelk::X3gSpool::Options options;
    options.memoryBytes = size % 2 == 0 ? 64 : std::size_t(1) << 16;
    zelk::X3gSpool spool(options);
    zelk::GCodeFileOutcome streamed;
    streamer.StreamFile(path.c_str(), spool, streamed, 1 + (size > 0 ? data[size - 1] % 97 : 0));
    FUZZ_CHECK(!spool.Failed(), spool.Error().c_str());
    FUZZ_CHECK(streamed.read == whole.read && streamed.refused == whole.refused, "streamed: read or refused");
    FUZZ_CHECK(streamed.reason == whole.reason, streamed.reason.c_str());
    FUZZ_CHECK(streamed.moveCount == whole.moveCount && streamed.skippedLineCount == whole.skippedLineCount,
               "streamed: moves or skipped lines");
    FUZZ_CHECK(streamed.flavor == whole.flavor && streamed.flavorMark == whole.flavorMark, "streamed: flavour");
    FUZZ_CHECK(streamed.leftOut.Summary() == whole.leftOut.Summary(), "streamed: left out");
    if (whole.refused)
        return;
    std::vector<unsigned char> x3g, expected;
    FUZZ_CHECK(spool.WriteTo([&x3g](const unsigned char* bytes, std::size_t n) {
        x3g.insert(x3g.end(), bytes, bytes + n);
        return true;
    }),
               spool.Error().c_str());
    zelk::WriteX3gStream(packages, [&expected](const unsigned char* bytes, std::size_t n) {
        expected.insert(expected.end(), bytes, bytes + n);
        return true;
    });
    FUZZ_CHECK(x3g == expected, "the streamed X3G differs from the whole file's");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzzsupport::MemoryFile file;
    file.Set(data, size);
    ZELKMachine machine;
    ZELKGCodeParser parser(&machine, &fuzzsupport::FuzzStartGCode());
    const zelk::PrintList packages = parser.FileParser(file.Path().c_str());
    // The file is always read; only one marked as another slicer's flavour
    // may be refused, and then with its line and nothing to print.
    const zelk::GCodeFileOutcome& outcome = parser.LastFileOutcome();
    FUZZ_CHECK(outcome.read, parser.LastFileError().c_str());
    CheckStreamed(file.Path(), data, size, packages, outcome);
    if (!parser.LastFileError().empty()) {
        FUZZ_CHECK(outcome.refused && outcome.flavor != zelk::gcode::GCodeFlavor::kPrinter,
                   parser.LastFileError().c_str());
        FUZZ_CHECK(parser.LastFileError().find(": line ") != std::string::npos, "a refusal names its line");
        FUZZ_CHECK(packages.empty(), "a refused file still gave packages");
        return 0;
    }

    // The printer's own dialect: at most one package per line, and the
    // wait-for-tool packet at index 12. Another slicer's flavour is
    // interpreted (an arc gives many moves, the waits follow its heat-ups).
    if (outcome.flavor == zelk::gcode::GCodeFlavor::kPrinter) {
        std::size_t lines = 1;
        for (std::size_t i = 0; i < size; ++i)
            lines += data[i] == '\n' ? 1 : 0;
        FUZZ_CHECK(packages.size() <= lines + 1, "more packages than lines");
        if (packages.size() >= 13)
            FUZZ_CHECK(packages[12] == zelk::WaitForToolPackage(), "wait-for-tool packet at index 12");
    }

    // The packages written one after another (as in an X3G file or on the
    // wire) are read back by the link as exactly those frames.
    std::vector<unsigned char> stream;
    std::vector<std::vector<unsigned char>> sent;
    for (const Package& p : packages) {
        fuzzsupport::CheckPackage(p, "translated file");
        if (p.size == 0)
            continue;
        stream.insert(stream.end(), p.data, p.data + p.size);
        sent.emplace_back(p.data, p.data + p.size);
    }
    std::vector<std::vector<unsigned char>> received;
    zelk::S3GFrameAssembler assembler;
    assembler.Feed(stream.data(), stream.size(), [&](const unsigned char* frame, std::size_t length) {
        received.emplace_back(frame, frame + length);
    });
    FUZZ_CHECK(received == sent, "the translated stream does not read back frame for frame");
    return 0;
}
