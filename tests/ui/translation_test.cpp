// Translation: the built-in table, the shipped language files and the profile setting.
#include <gtest/gtest.h>

#include <vector>

#include <optional>

#include <cstdlib>
#include <filesystem>
#include <set>

#include <pugixml.hpp>

#include "ChineseWords.h"
#include "FileIni.h"
#include "TempDir.h"
#include "ZELKTranslation.h"

namespace fs = std::filesystem;

namespace {

std::string ShippedFolder()
{
    const char* bin = std::getenv("MORVADIN_BIN");
    return bin != nullptr ? std::string(bin) + "/" : std::string();
}

std::set<std::string> BuiltInKeys()
{
    std::set<std::string> keys;
    for (const zelk::KeyText& word : zelk::ChineseWords())
        keys.insert(word.key);
    return keys;
}

// A program folder with its own profile and a copy of the shipped language files.
class TranslationFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(m_dir.Path() / "ini");
        fs::copy(ShippedFolder() + "ini/Multi-languase", m_dir.Path() / "ini/Multi-languase");
    }
    std::string Folder() const { return m_dir.Path().string() + "/"; }
    ZELKFileIniBase& Profile() { return m_profile; }

    testsupport::TempDir m_dir;
    ZELKFileIniBase m_profile{m_dir.File("morvadin.ini")};
};

}  // namespace

TEST(ChineseTable, HoldsEveryKeyOnceWithText)
{
    const auto& words = zelk::ChineseWords();
    EXPECT_EQ(words.size(), 190u);
    EXPECT_EQ(BuiltInKeys().size(), 190u) << "a key is listed twice";
    for (const zelk::KeyText& word : words)
        EXPECT_STRNE(word.text, "") << word.key;
}

// Both shipped files hold exactly the built-in keys, each once, each with a text.
TEST(LanguageFiles, HoldExactlyTheBuiltInKeys)
{
    const std::set<std::string> builtIn = BuiltInKeys();
    for (const char* name : {"English.xml", "French.xml"}) {
        SCOPED_TRACE(name);
        pugi::xml_document document;
        ASSERT_TRUE(document.load_file((ShippedFolder() + "ini/Multi-languase/" + name).c_str()));
        std::set<std::string> keys;
        int entries = 0;
        for (const pugi::xml_node text : document.child("language").children("text")) {
            ++entries;
            keys.insert(text.attribute("key").value());
            EXPECT_STRNE(text.text().get(), "") << text.attribute("key").value();
        }
        EXPECT_EQ(entries, 190);
        EXPECT_EQ(keys, builtIn);
    }
}

TEST(XmlParse, MissingOrBrokenFileLeavesNothing)
{
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.File("a.xml"), "<language><text key=\"k\">first</text></language>");
    testsupport::WriteFile(dir.File("broken.xml"), "<language><text key=\"k\">x</language>");
    ZELKXMLParse parse;
    parse.ReadXML(dir.File("a.xml"));
    std::string value = "untouched";
    ASSERT_EQ(parse.GetKeyValue("k", value), 0);
    EXPECT_EQ(value, "first");
    EXPECT_EQ(parse.GetKeyValue("K", value), -1);
    EXPECT_EQ(value, "first");

    parse.ReadXML(dir.File("broken.xml"));
    EXPECT_EQ(parse.GetKeyValue("k", value), -1);
    EXPECT_FALSE(parse.GetLastError().empty());
    parse.ReadXML(dir.File("missing.xml"));
    EXPECT_EQ(parse.GetCount(), 0u);
}

// Character references that decode to no character (a lone surrogate, a code
// beyond U+10FFFF) would give texts that are not UTF-8: they are left out.
TEST(XmlParse, ReferencesToNoCharacterAreLeftOut)
{
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.File("refs.xml"), "<language name=\"x\"><text key=\"a\">&#xD800;</text>"
                                                 "<text key=\"b\">&#x110000;</text>"
                                                 "<text key=\"c\">caf&#xE9;</text></language>");
    ZELKXMLParse parse;
    parse.ReadXML(dir.File("refs.xml"));
    std::string value;
    EXPECT_EQ(parse.GetKeyValue("a", value), -1);
    EXPECT_EQ(parse.GetKeyValue("b", value), -1);
    ASSERT_EQ(parse.GetKeyValue("c", value), 0);
    EXPECT_EQ(value, "caf\xC3\xA9");
}

// Sets the locale variables for one scope, as a desktop session would.
class Locale {
public:
    Locale(const char* all, const char* messages, const char* lang)
    {
        for (auto [name, value] : {std::pair{"LC_ALL", all}, {"LC_MESSAGES", messages}, {"LANG", lang}}) {
            const char* before = std::getenv(name);
            m_saved.emplace_back(name, before != nullptr ? std::optional<std::string>(before) : std::nullopt);
            if (value != nullptr)
                ::setenv(name, value, 1);
            else
                ::unsetenv(name);
        }
    }
    ~Locale()
    {
        for (const auto& [name, value] : m_saved)
            value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

TEST(FirstLanguage, FollowsTheLocaleZhFrOrElseEnglish)
{
    EXPECT_EQ(ZELKTranslation::LanguageOfLocale("zh_CN.UTF-8"), LANGUAGE_CHINESE);
    EXPECT_EQ(ZELKTranslation::LanguageOfLocale("zh_TW"), LANGUAGE_CHINESE);
    EXPECT_EQ(ZELKTranslation::LanguageOfLocale("fr_FR.UTF-8"), LANGUAGE_FRENCH);
    EXPECT_EQ(ZELKTranslation::LanguageOfLocale("fr_CA"), LANGUAGE_FRENCH);
    EXPECT_EQ(ZELKTranslation::LanguageOfLocale("en_US.UTF-8"), LANGUAGE_ENGLISH);
    EXPECT_EQ(ZELKTranslation::LanguageOfLocale("de_DE.UTF-8"), LANGUAGE_ENGLISH);
    EXPECT_EQ(ZELKTranslation::LanguageOfLocale("C.UTF-8"), LANGUAGE_ENGLISH);
    EXPECT_EQ(ZELKTranslation::LanguageOfLocale(""), LANGUAGE_ENGLISH);
    {
        Locale session(nullptr, nullptr, "fr_FR.UTF-8");
        EXPECT_EQ(ZELKTranslation::DesktopLocale(), "fr_FR.UTF-8");
    }
    {
        Locale session("zh_CN.UTF-8", "en_US.UTF-8", "fr_FR.UTF-8");  // LC_ALL wins
        EXPECT_EQ(ZELKTranslation::DesktopLocale(), "zh_CN.UTF-8");
    }
    {
        Locale session(nullptr, "en_GB.UTF-8", "fr_FR.UTF-8");  // then LC_MESSAGES
        EXPECT_EQ(ZELKTranslation::DesktopLocale(), "en_GB.UTF-8");
    }
    // Every language is listed in its own words.
    EXPECT_EQ(ZELKTranslation::NativeName(LANGUAGE_CHINESE), wxString::FromUTF8("中文"));
    EXPECT_EQ(ZELKTranslation::NativeName(LANGUAGE_ENGLISH), "English");
    EXPECT_EQ(ZELKTranslation::NativeName(LANGUAGE_FRENCH), wxString::FromUTF8("Français"));
}

// Before the user chooses, a fresh profile takes the desktop's language, in
// French and in English; the choice, once made, wins over the locale.
TEST_F(TranslationFolder, AFreshProfileSpeaksTheDesktopsLanguageUntilTheUserChooses)
{
    {
        Locale session(nullptr, nullptr, "fr_FR.UTF-8");
        ZELKTranslation translation(&Profile(), Folder());
        EXPECT_EQ(translation.GetLanguage(), LANGUAGE_FRENCH);
        EXPECT_EQ(translation.GetString("id_menu_file"), "Fichier");
    }
    {
        Locale session(nullptr, nullptr, "en_US.UTF-8");
        ZELKTranslation translation(&Profile(), Folder());
        EXPECT_EQ(translation.GetLanguage(), LANGUAGE_ENGLISH);
        translation.Translate(LANGUAGE_CHINESE);
    }
    Locale session(nullptr, nullptr, "fr_FR.UTF-8");
    ZELKTranslation chosen(&Profile(), Folder());
    EXPECT_EQ(chosen.GetLanguage(), LANGUAGE_CHINESE);
}

TEST_F(TranslationFolder, AFreshProfileInAChineseLocaleStartsInChineseWithEveryText)
{
    Locale session(nullptr, nullptr, "zh_CN.UTF-8");
    ZELKTranslation translation(&Profile(), Folder());
    EXPECT_EQ(translation.GetLanguage(), LANGUAGE_CHINESE);
    EXPECT_EQ(translation.GetBuiltInCount(), 190u);
    for (const zelk::KeyText& word : zelk::ChineseWords())
        EXPECT_EQ(translation.GetString(word.key), wxString::FromUTF8(word.text));
    EXPECT_EQ(translation.GetString("id_message_noLoadModel"), wxString::FromUTF8("未导入模型"));
}

TEST_F(TranslationFolder, KeysAreCaseSensitive)
{
    Locale session(nullptr, nullptr, "zh_CN.UTF-8");
    ZELKTranslation translation(&Profile(), Folder());
    wxString text = "untouched";
    EXPECT_EQ(translation.GetKeyValue("id_message_InPrintting", text), 0);
    EXPECT_EQ(text, wxString::FromUTF8("机器正在打印中"));
    text = "untouched";
    EXPECT_EQ(translation.GetKeyValue("id_message_inPrintting", text), -1);
    EXPECT_EQ(text, "untouched");
}

TEST_F(TranslationFolder, ChoosingEnglishIsRememberedAndReadFromTheFileNextStart)
{
    {
        ZELKTranslation translation(&Profile(), Folder());
        translation.Translate(LANGUAGE_ENGLISH);
        EXPECT_EQ(translation.GetString("id_button_viewTop"), "Top");
    }
    int stored = -1;
    ASSERT_EQ(Profile().GetIniProfileInt("Multi-language", "language", stored), 1);
    EXPECT_EQ(stored, 1);

    ZELKTranslation next(&Profile(), Folder());
    EXPECT_EQ(next.GetLanguage(), LANGUAGE_ENGLISH);
    EXPECT_EQ(next.GetLanguageFilePath(), Folder() + "ini/Multi-languase/English.xml");
    EXPECT_EQ(next.GetString("id_message_printComplete"), "The print is complete.");
    EXPECT_EQ(next.GetBuiltInCount(), 0u);
    EXPECT_EQ(next.TakeLanguageFileProblem(), "");
}

TEST_F(TranslationFolder, BackToChineseAfterFrenchRefillsTheTableOnce)
{
    ZELKTranslation translation(&Profile(), Folder());
    translation.Translate(LANGUAGE_FRENCH);
    EXPECT_EQ(translation.GetString("id_static_viewCaption"), "Vue :");
    EXPECT_EQ(translation.GetString("id_combox_gcodeFill_Low"), wxString::FromUTF8("Léger (10%)"));
    translation.Translate(LANGUAGE_CHINESE);
    translation.Translate(LANGUAGE_CHINESE);
    EXPECT_EQ(translation.GetBuiltInCount(), 190u);
    EXPECT_EQ(translation.GetString("id_static_viewCaption"), wxString::FromUTF8("视图:"));
}

// A key the file lacks (or leaves empty) shows its built-in text; a key no
// table knows shows itself. The user hears once what was wrong with the file.
TEST_F(TranslationFolder, KeysMissingFromTheEnglishFileFallBackOneByOne)
{
    testsupport::WriteFile(Folder() + "ini/Multi-languase/English.xml",
                           "<language><text key=\"id_button_viewTop\">Top</text>"
                           "<text key=\"id_button_viewFront\"></text></language>");
    Profile().WriteIniProfileInt("Multi-language", "language", 1);
    ZELKTranslation translation(&Profile(), Folder());
    EXPECT_EQ(translation.GetString("id_button_viewTop"), "Top");
    wxString text = "untouched";
    EXPECT_EQ(translation.GetKeyValue("id_button_viewSide", text), 0);
    EXPECT_EQ(text, wxString::FromUTF8("右视图"));
    EXPECT_EQ(translation.GetString("id_button_viewFront"), wxString::FromUTF8("前视图"));
    EXPECT_EQ(translation.GetString("id_no_such_key"), "id_no_such_key");

    const std::string problem = translation.TakeLanguageFileProblem();
    EXPECT_NE(problem.find(Folder() + "ini/Multi-languase/English.xml"), std::string::npos) << problem;
    const std::size_t all = zelk::ChineseWords().size();
    EXPECT_NE(problem.find(std::to_string(all - 1) + " of the " + std::to_string(all) + " texts"), std::string::npos)
        << problem;
    EXPECT_EQ(problem.find('\n'), std::string::npos) << problem;
    EXPECT_EQ(translation.TakeLanguageFileProblem(), "");
}

struct BrokenFile {
    const char* what;
    std::string content;
    bool present;  // no file at all when false
    std::string reasonPart;
};

// Whatever is wrong with the file, every message keeps a text: the built-in one.
TEST_F(TranslationFolder, BrokenFrenchFileShowsTheBuiltInTextsAndSaysWhy)
{
    const std::string shipped = testsupport::ReadFile(Folder() + "ini/Multi-languase/French.xml");
    std::string latin1 = shipped;
    const std::string accent = "\xC3\xA9";  // "é" in UTF-8
    for (std::size_t at; (at = latin1.find(accent)) != std::string::npos;)
        latin1.replace(at, accent.size(), "\xE9");
    const std::string all = std::to_string(zelk::ChineseWords().size());
    const BrokenFile cases[] = {
        {"missing", "", false, "No such file"},
        {"empty", "", true, "empty"},
        {"truncated", shipped.substr(0, shipped.size() / 2), true, "byte"},
        {"not XML", "Vue : Haut, Côté, Face\n", true, "byte"},
        {"Latin-1", latin1, true, "UTF-8"},
        {"UTF-16", std::string("\xFF\xFE<\0l\0", 6), true, "UTF-8"},
        {"another root", "<words><text key=\"id_button_viewTop\">Haut</text></words>", true, all + " of the " + all + " texts"},
    };
    const std::string path = Folder() + "ini/Multi-languase/French.xml";
    Profile().WriteIniProfileInt("Multi-language", "language", 2);
    for (const BrokenFile& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(path);
        if (c.present)
            testsupport::WriteFile(path, c.content);
        ZELKTranslation translation(&Profile(), Folder());
        EXPECT_EQ(translation.GetLanguage(), LANGUAGE_FRENCH);
        for (const zelk::KeyText& word : zelk::ChineseWords())
            EXPECT_EQ(translation.GetString(word.key), wxString::FromUTF8(word.text)) << word.key;
        const std::string problem = translation.TakeLanguageFileProblem();
        EXPECT_NE(problem.find(path), std::string::npos) << problem;
        EXPECT_NE(problem.find(c.reasonPart), std::string::npos) << problem;
        EXPECT_EQ(translation.TakeLanguageFileProblem(), "");
    }
    testsupport::WriteFile(path, shipped);
    ZELKTranslation repaired(&Profile(), Folder());
    EXPECT_EQ(repaired.GetString("id_static_viewCaption"), "Vue :");
    EXPECT_EQ(repaired.TakeLanguageFileProblem(), "");
}

// A text of a million characters would stall the window that shows it.
TEST_F(TranslationFolder, OverlongTextsAreCutWithAnEllipsis)
{
    const std::string path = Folder() + "ini/Multi-languase/English.xml";
    std::string content = testsupport::ReadFile(path);
    const std::string open = "<text key=\"id_button_viewTop\">";
    content.replace(content.find(open) + open.size(), 3, std::string(1'000'000, 'x'));
    const std::string side = "<text key=\"id_button_viewSide\">";
    content.replace(content.find(side) + side.size(), 4, std::string(1000, 'y'));
    const std::string front = "<text key=\"id_button_viewFront\">";
    std::string wide;
    for (int i = 0; i < 1001; ++i)
        wide += "\xE8\xA7\x86";  // one Chinese character, three bytes
    content.replace(content.find(front) + front.size(), 5, wide);
    testsupport::WriteFile(path, content);
    Profile().WriteIniProfileInt("Multi-language", "language", 1);
    ZELKTranslation translation(&Profile(), Folder());

    const wxString top = translation.GetString("id_button_viewTop");
    EXPECT_EQ(top.length(), 1000u);
    EXPECT_EQ(top, wxString(999, 'x') + wxString::FromUTF8("…"));
    EXPECT_EQ(translation.GetString("id_button_viewSide"), wxString(1000, 'y'));
    const wxString frontText = translation.GetString("id_button_viewFront");
    EXPECT_EQ(frontText.length(), 1000u);
    EXPECT_EQ(frontText.Last(), wxUniChar(0x2026));
    EXPECT_EQ(frontText[998], wxUniChar(0x89C6));
    EXPECT_EQ(translation.TakeLanguageFileProblem(), "");
}

TEST_F(TranslationFolder, UnknownStoredValuesMeanChineseAndStayStored)
{
    for (int stored : {3, 4, 17, -1}) {
        SCOPED_TRACE(stored);
        Profile().WriteIniProfileInt("Multi-language", "language", stored);
        ZELKTranslation translation(&Profile(), Folder());
        EXPECT_EQ(translation.GetLanguage(), LANGUAGE_CHINESE);
        EXPECT_EQ(translation.GetString("id_button_viewReset"), wxString::FromUTF8("重置"));
        int read = 0;
        Profile().GetIniProfileInt("Multi-language", "language", read);
        EXPECT_EQ(read, stored);
    }
}
