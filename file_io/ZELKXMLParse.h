// Reader of the XML language files: key/text pairs held after each read.
#pragma once

#include <map>
#include <string>

// A language file is
//   <language name="..."><text key="id_...">text</text> ...</language>
// in UTF-8. ReadXML replaces the pairs held by those of the file; a file that
// is missing, empty, not UTF-8 or not well-formed leaves none, and
// GetLastError() says why. A text longer than kMaxTextChars characters is cut
// to that length, its last character replaced by "…": no window can show more.
class ZELKXMLParse {
public:
    static constexpr std::size_t kMaxTextChars = 1000;

    void ReadXML(const std::string& path);
    // 0 with `value` set to the UTF-8 text; -1 (value untouched) for a missing key.
    int GetKeyValue(const std::string& key, std::string& value) const;

    std::size_t GetCount() const { return m_values.size(); }
    // Why the last read gave nothing, in one line naming the file ("" after a good read).
    const std::string& GetLastError() const { return m_lastError; }

private:
    std::map<std::string, std::string> m_values;
    std::string m_lastError;
};
