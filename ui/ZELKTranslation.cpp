// The translation object: built-in Chinese table, XML languages, profile setting.
#include "ZELKTranslation.h"

#include <cstdlib>

#include <wx/window.h>

#include "ChineseWords.h"
#include "FileIni.h"
#include "ProgramFolder.h"
#include "StringConvert.h"
#include "PanelHost.h"

namespace {
const char* const kSection = "Multi-language";
const char* const kKey = "language";

// The built-in text of a key, or null. Only looked up for keys a language
// file lacks, so a scan of the table is enough.
const char* BuiltInText(const std::string& key)
{
    for (const zelk::KeyText& word : zelk::ChineseWords())
        if (key == word.key)
            return word.text;
    return nullptr;
}

bool HasText(const ZELKXMLParse& parse, const std::string& key)
{
    std::string value;
    return parse.GetKeyValue(key, value) == 0 && !value.empty();
}

constexpr std::size_t kNamedMissingKeys = 3;
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
    // Until the user chooses a language, the program speaks the desktop's.
    int stored = 0;
    if (m_profile == nullptr || m_profile->GetIniProfileInt(kSection, kKey, stored) == 0)
        stored = LanguageOfLocale(DesktopLocale());
    Load(stored);
}

const wxString& ZELKTranslation::NativeName(int language)
{
    static const wxString names[] = {wxString::FromUTF8("中文"), "English", wxString::FromUTF8("Français")};
    return names[language >= LANGUAGE_CHINESE && language <= LANGUAGE_FRENCH ? language : LANGUAGE_ENGLISH];
}

int ZELKTranslation::LanguageOfLocale(const std::string& locale)
{
    if (locale.rfind("zh", 0) == 0)
        return LANGUAGE_CHINESE;
    if (locale.rfind("fr", 0) == 0)
        return LANGUAGE_FRENCH;
    return LANGUAGE_ENGLISH;
}

std::string ZELKTranslation::DesktopLocale()
{
    // The order the C library reads them in for messages.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* value = std::getenv(name); value != nullptr && *value != '\0')
            return value;
    return std::string();
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
        m_languageFileProblem.clear();
    } else {
        m_chineseWords.clear();
        m_xmlParse.ReadXML(m_languageFilePath);
        m_languageFileProblem = FindLanguageFileProblem();
    }
}

std::string ZELKTranslation::FindLanguageFileProblem() const
{
    if (!m_xmlParse.GetLastError().empty())
        return m_xmlParse.GetLastError();
    std::size_t missing = 0;
    std::string named;
    for (const zelk::KeyText& word : zelk::ChineseWords()) {
        if (HasText(m_xmlParse, word.key))
            continue;
        if (++missing <= kNamedMissingKeys)
            named += std::string(missing > 1 ? ", " : "") + word.key;
    }
    if (missing == 0)
        return "";
    return m_languageFilePath + ": " + std::to_string(missing) + " of the " +
           std::to_string(zelk::ChineseWords().size()) + " texts are missing (" + named +
           (missing > kNamedMissingKeys ? ", ..." : "") + ")";
}

std::string ZELKTranslation::TakeLanguageFileProblem()
{
    std::string problem;
    problem.swap(m_languageFileProblem);
    return problem;
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
        if (m_xmlParse.GetKeyValue(key, value) == 0 && !value.empty()) {
            text = wxString(ZELKCAD::MultiByteToWideChar_ZELK(value.c_str()));
            return 0;
        }
        const char* builtIn = BuiltInText(key);
        if (builtIn == nullptr)
            return -1;
        text = wxString::FromUTF8(builtIn);
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
    if (GetKeyValue(key, text) != 0 && m_language != LANGUAGE_CHINESE)
        text = wxString::FromUTF8(key);
    return text;
}

void ZELKTranslation::Translate(LANGUAGE language)
{
    if (m_profile != nullptr)
        m_profile->WriteIniProfileInt(kSection, kKey, static_cast<int>(language));
    Load(language);
    if (this == m_translation)
        if (PanelHost* host = PanelHost::Get())
            host->Translate();
}

void ZELKTranslation::SetDlgItemText(wxWindow* window, int id, const std::string& key)
{
    if (window == nullptr)
        return;
    wxWindow* item = window->FindWindow(id);
    if (item != nullptr)
        item->SetLabel(GetTranslationObject()->GetString(key));
}
