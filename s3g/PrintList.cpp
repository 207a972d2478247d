// The print list: payloads back to back, with where each ends.
#include "PrintList.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <string>

namespace zelk {

PrintList::PrintList(const std::vector<Package>& packages)
{
    reserve(packages.size());
    for (const Package& p : packages)
        push_back(p);
}

PrintList::PrintList(std::initializer_list<Package> packages)
{
    reserve(packages.size());
    for (const Package& p : packages)
        push_back(p);
}

void PrintList::reserve(std::size_t packages, std::size_t bytesEach)
{
    m_ends.reserve(packages);
    m_bytes.reserve(packages * bytesEach);
}

void PrintList::clear()
{
    std::vector<unsigned char>().swap(m_bytes);
    std::vector<std::uint32_t>().swap(m_ends);
}

void PrintList::Append(const unsigned char* payload, std::size_t size, bool tagged)
{
    const std::size_t start = m_bytes.size();
    if (start + size > kOffsetMask)
        throw std::bad_alloc();  // beyond what one list addresses
    m_bytes.insert(m_bytes.end(), payload, payload + size);
    try {
        m_ends.push_back(static_cast<std::uint32_t>(start + size) | (tagged ? kTagBit : 0u));
    } catch (...) {
        m_bytes.resize(start);  // the list as it was
        throw;
    }
}

void PrintList::push_back(const Package& package)
{
    // The payload's length as the frame gives it, within the record's buffer.
    const std::size_t payload =
        package.size > 0 ? std::min<std::size_t>(static_cast<std::size_t>(package.PayloadSize()), kMaxPayloadBytes) : 0;
    Append(package.Payload(), payload, package.tag != 0);
}

void PrintList::AppendPayload(const unsigned char* payload, std::size_t size)
{
    if (size > kMaxPayloadBytes)
        throw std::length_error("a payload of " + std::to_string(size) + " bytes does not fit a frame");
    Append(payload, size, false);
}

Package PrintList::operator[](std::size_t index) const
{
    Package package;
    const std::size_t start = Start(index);
    FramePayload(m_bytes.data() + start, End(index) - start, package);
    package.tag = (m_ends[index] & kTagBit) != 0 ? 1 : 0;
    return package;
}

Package PrintList::at(std::size_t index) const
{
    if (index >= size())
        throw std::out_of_range("print list index " + std::to_string(index) + " of " + std::to_string(size()));
    return (*this)[index];
}

std::span<const unsigned char> PrintList::Payload(std::size_t index) const
{
    const std::size_t start = Start(index);
    return {m_bytes.data() + start, End(index) - start};
}

std::vector<Package> PrintList::ToVector() const
{
    std::vector<Package> packages;
    packages.reserve(size());
    for (std::size_t i = 0; i < size(); ++i)
        packages.push_back((*this)[i]);
    return packages;
}

std::size_t PrintList::MemoryBytes() const
{
    return m_bytes.capacity() + m_ends.capacity() * sizeof(std::uint32_t);
}

bool operator==(const PrintList& a, const PrintList& b)
{
    return a.m_ends == b.m_ends && a.m_bytes == b.m_bytes;
}

}  // namespace zelk
