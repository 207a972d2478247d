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
// files "ini/Multi-languase/<name>.xml" of the program folder. A key that file
// lacks (the whole file, when it cannot be read) shows its built-in text, or
// the key itself when the table lacks it too, so no message is ever blank.
// The language is kept in the profile (section "Multi-language", key
// "language"); a stored value other than 1 or 2 means Chinese. Until the user
// has chosen one, the desktop's locale decides. Changed only on
// the user-interface thread; the reply callback reads it from the machine
// link's thread that read the reply.
class ZELKTranslation {
public:
    // The process-wide object over the program folder and its profile.
    static ZELKTranslation* GetTranslationObject();

    // An object of its own (tests): reads the language from `profile` and the
    // files from `programFolder` (ending in '/').
    ZELKTranslation(ZELKFileIniBase* profile, std::string programFolder);
    ZELKTranslation(const ZELKTranslation&) = delete;
    ZELKTranslation& operator=(const ZELKTranslation&) = delete;

    // 0 with `text` set; -1 with `text` untouched when the key is unknown
    // (neither the language file nor the built-in table holds it).
    int GetKeyValue(const std::string& key, wxString& text) const;
    // The text of the key; for an unknown key, empty in Chinese and the key
    // itself in a language read from a file.
    wxString GetString(const std::string& key) const;

    // Why the language file just loaded could not be read whole (one line
    // naming the file), once: empty afterwards, and after a good file.
    std::string TakeLanguageFileProblem();

    // Switches the language, stores it in the profile and, for the
    // process-wide object, retranslates every window of the user interface.
    void Translate(LANGUAGE language);

    int GetLanguage() const { return m_language; }
    const std::string& GetLanguageFilePath() const { return m_languageFilePath; }
    std::size_t GetBuiltInCount() const { return m_chineseWords.size(); }

    // Sets the label of the child `id` of `window` to GetString(key).
    // Does nothing when there is no such child.
    static void SetDlgItemText(wxWindow* window, int id, const std::string& key);

    // The language file appended to the program folder for 1 and 2, "" otherwise.
    static std::string LanguageFileName(int language);

    // The language of a locale name ("zh_CN.UTF-8" Chinese, "fr_FR" French,
    // any other, "C" and empty included, English).
    static int LanguageOfLocale(const std::string& locale);
    // The locale messages are shown in: LC_ALL, else LC_MESSAGES, else LANG.
    static std::string DesktopLocale();
    // Each language's name in that language, in the order of LANGUAGE.
    static const wxString& NativeName(int language);

private:
    void PrepareChineseWords();
    void Load(int language);
    std::string FindLanguageFileProblem() const;

    static ZELKTranslation* m_translation;

    int m_language = LANGUAGE_CHINESE;
    std::string m_languageFilePath;
    ZELKXMLParse m_xmlParse;
    std::map<std::string, wxString> m_chineseWords;
    ZELKFileIniBase* m_profile;
    std::string m_programFolder;
    std::string m_languageFileProblem;
};
