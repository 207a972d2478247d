// Reads the XML language files with pugixml.
#include "ZELKXMLParse.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <pugixml.hpp>

namespace {

// Language files are a few kilobytes; anything this large is not one.
constexpr long kMaxFileBytes = 16L << 20;

// Offset of the first byte that does not continue valid UTF-8, or npos.
std::size_t FirstInvalidUtf8(const std::string& text)
{
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        std::size_t length = 0;
        unsigned min = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            min = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            min = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            min = 0x10000;
        } else {
            return i;
        }
        if (i + length > n)
            return i;
        unsigned code = c & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return i;
            code = (code << 6) | (s[i + k] & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return i;
        i += length;
    }
    return std::string::npos;
}

// The first `chars` characters and "…" in place of the rest, for longer texts.
std::string CutText(const std::string& text, std::size_t chars)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            continue;  // inside a character
        if (++count == chars) {
            // The character at i is the last one that fits: "…" takes its place if more follow.
            std::size_t next = i + 1;
            while (next < text.size() && (static_cast<unsigned char>(text[next]) & 0xC0) == 0x80)
                ++next;
            return next >= text.size() ? text : text.substr(0, i) + "\xE2\x80\xA6";
        }
    }
    return text;
}

bool ReadWholeFile(const std::string& path, std::string& content, std::string& error)
{
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    char buffer[65536];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;) {
        content.append(buffer, got);
        if (content.size() > static_cast<std::size_t>(kMaxFileBytes)) {
            error = "larger than " + std::to_string(kMaxFileBytes >> 20) + " MB";
            return false;
        }
    }
    if (std::ferror(file.get())) {
        error = std::strerror(errno != 0 ? errno : EIO);
        return false;
    }
    return true;
}

}  // namespace

void ZELKXMLParse::ReadXML(const std::string& path)
{
    m_values.clear();
    m_lastError.clear();
    std::string content;
    std::string why;
    if (!ReadWholeFile(path, content, why)) {
        m_lastError = path + ": " + why;
        return;
    }
    if (content.empty()) {
        m_lastError = path + ": the file is empty";
        return;
    }
    if (const std::size_t bad = FirstInvalidUtf8(content); bad != std::string::npos) {
        m_lastError = path + ": not UTF-8 text (at byte " + std::to_string(bad) + ")";
        return;
    }
    pugi::xml_document document;
    const pugi::xml_parse_result result =
        document.load_buffer(content.data(), content.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!result) {
        m_lastError = path + ": " + result.description() + " at byte " + std::to_string(result.offset);
        return;
    }
    for (const pugi::xml_node text : document.child("language").children("text")) {
        const std::string key = text.attribute("key").value();
        const std::string value = text.text().get();
        // A character reference such as "&#xD800;" decodes to bytes that are
        // not UTF-8 although the file is: such a text is left out (its key
        // falls back like a missing one).
        if (key.empty() || FirstInvalidUtf8(key) != std::string::npos || FirstInvalidUtf8(value) != std::string::npos)
            continue;
        m_values[key] = CutText(value, kMaxTextChars);
    }
}

int ZELKXMLParse::GetKeyValue(const std::string& key, std::string& value) const
{
    const auto found = m_values.find(key);
    if (found == m_values.end())
        return -1;
    value = found->second;
    return 0;
}
