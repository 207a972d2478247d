// Reads the XML language files with pugixml.
#include "ZELKXMLParse.h"

#include <pugixml.hpp>

void ZELKXMLParse::ReadXML(const std::string& path)
{
    m_values.clear();
    m_lastError.clear();
    pugi::xml_document document;
    const pugi::xml_parse_result result = document.load_file(path.c_str(), pugi::parse_default, pugi::encoding_utf8);
    if (!result) {
        m_lastError = path + ": " + result.description();
        return;
    }
    for (const pugi::xml_node text : document.child("language").children("text")) {
        const char* key = text.attribute("key").value();
        if (*key != '\0')
            m_values[key] = text.text().get();
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
