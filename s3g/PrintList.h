// The print list: every package of a print, kept compact. A Package record
// holds a 64-byte frame buffer whatever its frame's length; the list keeps
// only the payloads back to back and where each ends, and frames a package
// again (start byte, length, CRC) when it is read. A move, 32 payload bytes,
// costs 36 bytes here instead of 72.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <span>
#include <vector>

#include "Package.h"

namespace zelk {

class PrintList {
public:
    PrintList() = default;
    // A list of records becomes a list of their payloads (tests and small
    // lists build them this way).
    PrintList(const std::vector<Package>& packages);  // NOLINT: converts on purpose
    PrintList(std::initializer_list<Package> packages);

    std::size_t size() const { return m_ends.size(); }
    bool empty() const { return m_ends.empty(); }
    // Room for this many packages of about bytesEach payload bytes.
    void reserve(std::size_t packages, std::size_t bytesEach = kTypicalPayloadBytes);
    // Empties the list and gives its memory back.
    void clear();

    // Appends the package's payload and its tag. The record is a frame as
    // the builders make it (its CRC and length follow from its payload).
    // Throws std::bad_alloc past 2 GiB of payloads (a print of some sixty
    // million moves).
    void push_back(const Package& package);
    // Appends the package of a payload, without a record in between. An
    // empty payload appends an empty package; one longer than a frame holds
    // (kMaxPayloadBytes) throws std::length_error.
    void AppendPayload(const unsigned char* payload, std::size_t size);

    // The package at index as a record, framed as the builders frame it
    // (its bytes after the frame are 0).
    Package operator[](std::size_t index) const;
    // The same, throwing std::out_of_range past the end.
    Package at(std::size_t index) const;
    Package front() const { return (*this)[0]; }
    Package back() const { return (*this)[size() - 1]; }
    // The payload of the package at index (command byte first).
    std::span<const unsigned char> Payload(std::size_t index) const;

    // The records one by one, for range-for loops.
    class const_iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = Package;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = Package;
        const_iterator(const PrintList* list, std::size_t index) : m_list(list), m_index(index) {}
        Package operator*() const { return (*m_list)[m_index]; }
        const_iterator& operator++()
        {
            ++m_index;
            return *this;
        }
        bool operator==(const const_iterator& other) const { return m_index == other.m_index; }

    private:
        const PrintList* m_list;
        std::size_t m_index;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

    std::vector<Package> ToVector() const;
    // The memory the list holds (its capacity), in bytes.
    std::size_t MemoryBytes() const;

    friend bool operator==(const PrintList& a, const PrintList& b);

    // A move, the usual package, has 32 payload bytes.
    static constexpr std::size_t kTypicalPayloadBytes = 32;

private:
    // End offset of each payload in m_bytes; the top bit holds the package's tag.
    static constexpr std::uint32_t kTagBit = 0x80000000u;
    static constexpr std::uint32_t kOffsetMask = ~kTagBit;

    std::size_t Start(std::size_t index) const { return index == 0 ? 0 : (m_ends[index - 1] & kOffsetMask); }
    std::size_t End(std::size_t index) const { return m_ends[index] & kOffsetMask; }
    // Appends one payload; on any failure the list is as it was.
    void Append(const unsigned char* payload, std::size_t size, bool tagged);

    std::vector<unsigned char> m_bytes;
    std::vector<std::uint32_t> m_ends;
};

}  // namespace zelk
