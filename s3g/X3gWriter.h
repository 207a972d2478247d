// The X3G offline print file: the payloads of a print list back to back,
// with build-percentage commands and the wait-for-tool payload.
#pragma once

#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Package.h"
#include "PrintList.h"

namespace zelk {

// Receives the stream in pieces; returns false to stop (a failed write).
using X3gSink = std::function<bool(const unsigned char* bytes, std::size_t size)>;

// Writes the X3G stream of packages to sink. The layout: before every
// step-th package (step = n / 100) a percentage command counting 0, 1, 2, ...
// (only the 0 % one when n < 100); after package 11 the wait-for-tool
// payload; a final 100 % when n is not a multiple of step. Empty packages
// write nothing. Returns false as soon as the sink fails.
bool WriteX3gStream(const PrintList& packages, const X3gSink& sink);

// Writes the stream to a file at path. The file appears only complete: on
// any failure (create, write, flush, close) nothing is left at path and
// error (when given) says what went wrong.
bool WriteX3gFile(const PrintList& packages, const std::string& path, std::string* error = nullptr);

// Copies the few bytes of a payload (at most kMaxPayloadBytes) with fixed
// moves that overlap, rather than a general copy's set-up per package.
inline void CopyPayloadBytes(unsigned char* to, const unsigned char* from, std::size_t size)
{
    if (size >= 16) {
        if (size <= 32) {
            std::memcpy(to, from, 16);
            std::memcpy(to + size - 16, from + size - 16, 16);
        } else {
            std::memcpy(to, from, 32);
            std::memcpy(to + size - 32, from + size - 32, 32);
        }
    } else if (size >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + size - 8, from + size - 8, 8);
    } else if (size >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + size - 4, from + size - 4, 4);
    } else {
        for (std::size_t i = 0; i < size; ++i)
            to[i] = from[i];
    }
}

// Where the packages of a translation go, one at a time and in order: a
// print list, or an X3G spool. Each package comes as its payload (command
// byte first, at most kMaxPayloadBytes); size 0 is an empty package, which
// counts as a package but writes nothing.
class PayloadSink {
public:
    virtual ~PayloadSink() = default;
    // False: the package could not be kept (a failed write); stop.
    virtual bool Add(const unsigned char* payload, std::size_t size) = 0;
};

// An X3G stream whose packages arrive one at a time. Its layout depends on
// how many there are in all (the percentages come every n / 100 packages),
// so nothing can be written before the last one is in: the payloads wait in
// a spool, in memory up to a budget and beyond it in an unlinked temporary
// file, and WriteTo() then writes exactly what WriteX3gStream writes for the
// same list. Memory stays within the budget and a block, whatever the
// number of packages. Not thread-safe.
class X3gSpool final : public PayloadSink {
public:
    struct Options {
        // The spool kept in memory; what goes past it is written to the
        // temporary file in pieces of this size.
        std::size_t memoryBytes = std::size_t(4) << 20;
        // Where the temporary file goes first (the X3G file's folder, so it
        // needs no room elsewhere); then $TMPDIR, then /tmp. Empty: those two.
        std::string folder;
        // The file the spool is for, named in error messages.
        std::string name;
    };

    X3gSpool();
    explicit X3gSpool(Options options);
    ~X3gSpool() override;
    X3gSpool(const X3gSpool&) = delete;
    X3gSpool& operator=(const X3gSpool&) = delete;

    bool Add(const unsigned char* payload, std::size_t size) override
    {
        if (size > kMaxPayloadBytes || m_failed)
            return Refuse(size);
        if (m_used + 1 + size > m_capacity && !Spill())
            return false;
        unsigned char* at = m_buffer.get() + m_used;
        at[0] = static_cast<unsigned char>(size);
        CopyPayloadBytes(at + 1, payload, size);
        m_used += 1 + size;
        ++m_count;
        return true;
    }
    bool Add(const Package& package)
    {
        return Add(package.Payload(), static_cast<std::size_t>(package.PayloadSize()));
    }

    // The packages added so far.
    std::size_t Count() const { return m_count; }
    // Whether the spool went to its temporary file.
    bool Spilled() const { return m_file >= 0; }
    // An Add() or WriteTo() failed: Error() says why, naming Options::name.
    bool Failed() const { return m_failed; }
    const std::string& Error() const { return m_error; }

    // Writes the X3G stream of every package added to sink, in pieces.
    // False when the spool had failed, reading it back failed, or the sink
    // refused a piece. Once only: the spool is spent afterwards.
    bool WriteTo(const X3gSink& sink);
    // Forgets every package (and the temporary file).
    void Clear();

private:
    bool Refuse(std::size_t size);
    bool Fail(const std::string& what, int err);
    bool OpenFile();
    bool Spill();

    Options m_options;
    std::unique_ptr<unsigned char[]> m_buffer;
    std::size_t m_capacity = 0;
    std::size_t m_used = 0;
    std::size_t m_count = 0;
    int m_file = -1;          // the temporary file, unlinked; -1 while all is in memory
    unsigned long long m_fileBytes = 0;
    bool m_failed = false;
    std::string m_error;
};

// Writes the spool's stream to a file at path, as WriteX3gFile writes a
// list: the file appears only complete, and error says what went wrong.
bool WriteX3gFile(X3gSpool& spool, const std::string& path, std::string* error = nullptr);

// The folder of a file's path ("." for a bare name).
std::string FolderOf(const std::string& path);

// The spool's options for an X3G file written at path: its temporary file
// beside it (in $TMPDIR or /tmp when path names a device or a pipe), and
// path named in its errors.
X3gSpool::Options X3gSpoolOptionsFor(const std::string& path);

}  // namespace zelk
