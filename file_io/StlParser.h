// Reads STL data (binary or ASCII) into a triangle mesh, from memory or piece by piece from a file.
#pragma once

#include <cstddef>
#include <string>

#include "GePrint.h"

namespace zelk {

// Random access to the bytes of an STL file, read in pieces so that loading
// never holds the whole file in memory next to the mesh.
class StlInput {
public:
    virtual ~StlInput() = default;
    virtual std::size_t Size() const = 0;
    // Copies up to `count` bytes from `offset` into `buffer`. Returns how many
    // were copied (fewer only at the end), or -1 with `error` set. Two threads
    // may read different parts at once (large ASCII files are read in halves).
    virtual long long ReadAt(std::size_t offset, char* buffer, std::size_t count, std::string& error) = 0;
};

// How the readers divide their work; the mesh and any refusal are the same
// whatever they are set to.
struct StlReadOptions {
    // Whether a second thread may help (reading a large ASCII file's second
    // half, clearing a large mesh's memory). Off where another thread needs
    // the other core more, as the start-up's reader leaves it to the toolkit.
    bool secondThread = true;
    std::size_t pieceBytes = std::size_t{1} << 20;  // read at once
    // Files of at least this many bytes are read as two halves at once, split
    // at the first facet from `splitAt` on (0: from the middle).
    std::size_t splitBytes = std::size_t{8} << 20;
    std::size_t splitAt = 0;
};

// Tells binary from ASCII by content, not by the first word: binary files whose
// header starts with "solid" are read as binary. On success the mesh holds the
// facets in file order with its corners set, and true is returned. On failure
// the mesh is left empty and `reason` says why in one line (without the path).
bool ReadStl(StlInput& input, ZELKGePrint& mesh, std::string& reason, const StlReadOptions& options = {});
bool ParseStl(const char* data, std::size_t size, ZELKGePrint& mesh, std::string& reason);

// The two formats on their own, with the same contract.
bool ReadBinaryStl(StlInput& input, ZELKGePrint& mesh, std::string& reason, const StlReadOptions& options = {});
bool ReadAsciiStl(StlInput& input, ZELKGePrint& mesh, std::string& reason, const StlReadOptions& options = {});

// Reserves room for `count` triangles and has the kernel back it with memory
// at once (in large pages where it can), which is several times cheaper than
// one page fault per 4 KiB while the triangles are written. Throws
// std::bad_alloc when the room cannot be had, or would exceed the computer's
// memory (the readers above turn that into a reason).
void ReserveTriangles(ZELKGePrint& mesh, std::size_t count, bool secondThread = true);

// The one-line reason of a mesh of `count` triangles that memory cannot hold.
std::string NoMemoryReason(std::size_t count);

// A whole STL file held in memory.
class MemoryStlInput : public StlInput {
public:
    MemoryStlInput(const char* data, std::size_t size) : m_data(data), m_size(size) {}
    std::size_t Size() const override { return m_size; }
    long long ReadAt(std::size_t offset, char* buffer, std::size_t count, std::string& error) override;

private:
    const char* m_data;
    std::size_t m_size;
};

}  // namespace zelk
