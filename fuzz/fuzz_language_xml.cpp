// Fuzzes the language file reader (pugixml) that turns an XML file into key/text pairs.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "ZELKXMLParse.h"

namespace {

// The characters of valid UTF-8 text, or npos when it is not valid UTF-8
// (overlong forms, surrogates and values past U+10FFFF included).
std::size_t Utf8Chars(const std::string& text)
{
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++chars) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3
                                 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
        if (length == 0 || i + length > text.size())
            return std::string::npos;
        unsigned code = length == 1 ? c : c & (0x7Fu >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return std::string::npos;
            code = (code << 6) | (next & 0x3Fu);
        }
        const unsigned least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return std::string::npos;
        i += length;
    }
    return chars;
}

// The keys written plainly (key="...", no entity) in the text.
std::vector<std::string> PlainKeys(const std::string& text)
{
    std::vector<std::string> keys;
    const std::string open = "key=\"";
    for (std::size_t at = text.find(open); at != std::string::npos; at = text.find(open, at + 1)) {
        const std::size_t end = text.find('"', at + open.size());
        if (end == std::string::npos)
            break;
        std::string key = text.substr(at + open.size(), end - at - open.size());
        if (key.find_first_of("&<") == std::string::npos)
            keys.push_back(std::move(key));
    }
    return keys;
}

std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzzsupport::MemoryFile file;
    const std::string text(reinterpret_cast<const char*>(data), size);
    file.Set(data, size);

    ZELKXMLParse reader;
    reader.ReadXML(file.Path());
    const std::size_t count = reader.GetCount();
    if (!reader.GetLastError().empty()) {
        // A refused file leaves no pairs, and the reason names the file.
        FUZZ_CHECK(count == 0, "pairs kept from a refused file");
        FUZZ_CHECK(reader.GetLastError().rfind(file.Path(), 0) == 0, reader.GetLastError().c_str());
        FUZZ_CHECK(reader.GetLastError().find('\n') == std::string::npos, reader.GetLastError().c_str());
    }
    // Every text read is UTF-8 that a window can show: never longer than the cut.
    for (const std::string& key : PlainKeys(text)) {
        std::string value;
        if (reader.GetKeyValue(key, value) != 0)
            continue;
        const std::size_t chars = Utf8Chars(value);
        FUZZ_CHECK(chars != std::string::npos, "a text that is not UTF-8");
        FUZZ_CHECK(chars <= ZELKXMLParse::kMaxTextChars, "a text longer than the cut");
    }
    // Every pair comes from a <text> element with a key attribute.
    FUZZ_CHECK(count <= Count(text, "text") && count <= Count(text, "key"), "more pairs than elements");

    // A missing key leaves the caller's value alone.
    std::string value = "unchanged";
    if (reader.GetKeyValue("\x01no such key", value) != 0)
        FUZZ_CHECK(value == "unchanged", "a missed lookup wrote its value");

    // A second read of the same file replaces the first: same pairs, no rest.
    ZELKXMLParse again;
    again.ReadXML(file.Path());
    reader.ReadXML(file.Path());
    FUZZ_CHECK(reader.GetCount() == count && again.GetCount() == count, "reading twice changed the pairs");
    FUZZ_CHECK(reader.GetLastError() == again.GetLastError(), "reading twice changed the error");
    return 0;
}
