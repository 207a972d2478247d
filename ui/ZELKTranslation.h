// Turns translation keys into the texts of the current language.
#pragma once

#include <map>
#include <string>

#include <wx/string.h>

#include "ZELKXMLParse.h"

class ZELKFileIniBase;
class wxWindow;

enum LANGUAGE { LANGUAGE_CHINESE = 0, LANGUAGE_ENGLISH = 1, LANGUAGE_FRENCH = 2 };

// Chinese comes from the built-in table; English and French from the XML
// files "ini/Multi-languase/<name>.xml" of the program folder, with no fallback
// to Chinese for a key the file lacks. The language is kept in the profile
// (section "Multi-language", key "language"); a stored value other than 1 or 2
// means Chinese. Changed only on the user-interface thread; the reply callback
// reads it from the serial reader thread.
class ZELKTranslation {
public:
    // The process-wide object over the program folder and its profile.
    static ZELKTranslation* GetTranslationObject();

    // An object of its own (tests): reads the language from `profile` and the
    // files from `programFolder` (ending in '/').
    ZELKTranslation(ZELKFileIniBase* profile, std::string programFolder);
    ZELKTranslation(const ZELKTranslation&) = delete;
    ZELKTranslation& operator=(const ZELKTranslation&) = delete;

    // 0 with `text` set; -1 with `text` untouched when the key is unknown.
    int GetKeyValue(const std::string& key, wxString& text) const;
    // The text of the key, empty when the key is unknown.
    wxString GetString(const std::string& key) const;

    // Switches the language, stores it in the profile and, for the
    // process-wide object, retranslates every window of the user interface.
    void Translate(LANGUAGE language);

    int GetLanguage() const { return m_language; }
    const std::string& GetLanguageFilePath() const { return m_languageFilePath; }
    std::size_t GetBuiltInCount() const { return m_chineseWords.size(); }

    // Sets the label of the child `id` of `window` to the text of `key`
    // (empty for an unknown key). Does nothing when there is no such child.
    static void SetDlgItemText(wxWindow* window, int id, const std::string& key);

    // The language file appended to the program folder for 1 and 2, "" otherwise.
    static std::string LanguageFileName(int language);

private:
    void PrepareChineseWords();
    void Load(int language);

    static ZELKTranslation* m_translation;

    int m_language = LANGUAGE_CHINESE;
    std::string m_languageFilePath;
    ZELKXMLParse m_xmlParse;
    std::map<std::string, wxString> m_chineseWords;
    ZELKFileIniBase* m_profile;
    std::string m_programFolder;
};
