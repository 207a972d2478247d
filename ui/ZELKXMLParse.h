// Reader of the XML language files: key/text pairs held after each read.
#pragma once

#include <map>
#include <string>

// A language file is
//   <language name="..."><text key="id_...">text</text> ...</language>
// in UTF-8. ReadXML replaces the pairs held by those of the file; a file that
// is missing or not well-formed leaves none, so every lookup then misses.
class ZELKXMLParse {
public:
    void ReadXML(const std::string& path);
    // 0 with `value` set to the UTF-8 text; -1 (value untouched) for a missing key.
    int GetKeyValue(const std::string& key, std::string& value) const;

    std::size_t GetCount() const { return m_values.size(); }
    // Why the last read gave nothing ("" after a good read).
    const std::string& GetLastError() const { return m_lastError; }

private:
    std::map<std::string, std::string> m_values;
    std::string m_lastError;
};
