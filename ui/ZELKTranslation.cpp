// The translation object: built-in Chinese table, XML languages, profile setting.
#include "ZELKTranslation.h"

#include <wx/window.h>

#include "ChineseWords.h"
#include "FileIni.h"
#include "ProgramFolder.h"
#include "StringConvert.h"
#include "ZELKUIOperation.h"

namespace {
const char* const kSection = "Multi-language";
const char* const kKey = "language";
}  // namespace

ZELKTranslation* ZELKTranslation::m_translation = nullptr;

ZELKTranslation* ZELKTranslation::GetTranslationObject()
{
    if (m_translation == nullptr)
        m_translation = new ZELKTranslation(ZELKFileIni::GetFileIniObject(), zelk::GetProgramFolder());
    return m_translation;
}

ZELKTranslation::ZELKTranslation(ZELKFileIniBase* profile, std::string programFolder)
    : m_profile(profile), m_programFolder(std::move(programFolder))
{
    int stored = 0;
    if (m_profile != nullptr)
        m_profile->GetIniProfileInt(kSection, kKey, stored);
    Load(stored);
}

std::string ZELKTranslation::LanguageFileName(int language)
{
    switch (language) {
    case LANGUAGE_ENGLISH:
        return "ini/Multi-languase/English.xml";
    case LANGUAGE_FRENCH:
        return "ini/Multi-languase/French.xml";
    default:
        return "";
    }
}

void ZELKTranslation::Load(int language)
{
    const std::string file = LanguageFileName(language);
    m_language = file.empty() ? LANGUAGE_CHINESE : language;
    m_languageFilePath = m_programFolder + file;
    if (m_language == LANGUAGE_CHINESE) {
        PrepareChineseWords();
    } else {
        m_chineseWords.clear();
        m_xmlParse.ReadXML(m_languageFilePath);
    }
}

void ZELKTranslation::PrepareChineseWords()
{
    m_chineseWords.clear();
    for (const zelk::KeyText& word : zelk::ChineseWords())
        m_chineseWords[word.key] = wxString::FromUTF8(word.text);
}

int ZELKTranslation::GetKeyValue(const std::string& key, wxString& text) const
{
    if (m_language != LANGUAGE_CHINESE) {
        std::string value;
        if (m_xmlParse.GetKeyValue(key, value) != 0)
            return -1;
        text = wxString(ZELKCAD::MultiByteToWideChar_ZELK(value.c_str()));
        return 0;
    }
    const auto found = m_chineseWords.find(key);
    if (found == m_chineseWords.end())
        return -1;
    text = found->second;
    return 0;
}

wxString ZELKTranslation::GetString(const std::string& key) const
{
    wxString text;
    GetKeyValue(key, text);
    return text;
}

void ZELKTranslation::Translate(LANGUAGE language)
{
    if (m_profile != nullptr)
        m_profile->WriteIniProfileInt(kSection, kKey, static_cast<int>(language));
    Load(language);
    if (this == m_translation)
        ZELKUIOperation::GetUIOperationObject()->Translate();
}

void ZELKTranslation::SetDlgItemText(wxWindow* window, int id, const std::string& key)
{
    if (window == nullptr)
        return;
    wxWindow* item = window->FindWindow(id);
    if (item != nullptr)
        item->SetLabel(GetTranslationObject()->GetString(key));
}
