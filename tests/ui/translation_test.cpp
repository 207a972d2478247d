// Translation: the built-in table, the shipped language files and the profile setting.
#include <gtest/gtest.h>

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
    EXPECT_EQ(words.size(), 114u);
    EXPECT_EQ(BuiltInKeys().size(), 114u) << "a key is listed twice";
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
        EXPECT_EQ(entries, 114);
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

TEST_F(TranslationFolder, FreshProfileStartsInChineseWithEveryText)
{
    ZELKTranslation translation(&Profile(), Folder());
    EXPECT_EQ(translation.GetLanguage(), LANGUAGE_CHINESE);
    EXPECT_EQ(translation.GetBuiltInCount(), 114u);
    for (const zelk::KeyText& word : zelk::ChineseWords())
        EXPECT_EQ(translation.GetString(word.key), wxString::FromUTF8(word.text));
    EXPECT_EQ(translation.GetString("id_message_noLoadModel"), wxString::FromUTF8("未导入模型"));
}

TEST_F(TranslationFolder, KeysAreCaseSensitive)
{
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
}

TEST_F(TranslationFolder, BackToChineseAfterFrenchRefillsTheTableOnce)
{
    ZELKTranslation translation(&Profile(), Folder());
    translation.Translate(LANGUAGE_FRENCH);
    EXPECT_EQ(translation.GetString("id_static_viewCaption"), "Vue :");
    EXPECT_EQ(translation.GetString("id_combox_gcodeFill_Low"), wxString::FromUTF8("Léger (10%)"));
    translation.Translate(LANGUAGE_CHINESE);
    translation.Translate(LANGUAGE_CHINESE);
    EXPECT_EQ(translation.GetBuiltInCount(), 114u);
    EXPECT_EQ(translation.GetString("id_static_viewCaption"), wxString::FromUTF8("视图:"));
}

// An XML language never falls back to the built-in text.
TEST_F(TranslationFolder, KeyMissingFromTheEnglishFileGivesAnEmptyText)
{
    testsupport::WriteFile(Folder() + "ini/Multi-languase/English.xml",
                           "<language><text key=\"id_button_viewTop\">Top</text></language>");
    Profile().WriteIniProfileInt("Multi-language", "language", 1);
    ZELKTranslation translation(&Profile(), Folder());
    EXPECT_EQ(translation.GetString("id_button_viewTop"), "Top");
    wxString text = "untouched";
    EXPECT_EQ(translation.GetKeyValue("id_button_viewSide", text), -1);
    EXPECT_TRUE(translation.GetString("id_button_viewSide").empty());
}

TEST_F(TranslationFolder, MissingLanguageFileGivesEmptyTexts)
{
    fs::remove(Folder() + "ini/Multi-languase/French.xml");
    Profile().WriteIniProfileInt("Multi-language", "language", 2);
    ZELKTranslation translation(&Profile(), Folder());
    EXPECT_EQ(translation.GetLanguage(), LANGUAGE_FRENCH);
    EXPECT_TRUE(translation.GetString("id_button_viewTop").empty());
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
