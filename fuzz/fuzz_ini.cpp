// Fuzzes the INI profile (SimpleIni): reads of numbers and text, and a write that must keep everything else.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "FileIni.h"
#include "FuzzSupport.h"

namespace {

struct Entry {
    const char* section;
    const char* key;
};

// The profile's own entries, and a few a hand-edited file might hold.
constexpr Entry kEntries[] = {
    {"Multi-language", "language"}, {"Machine", "PlatformX"}, {"Machine", "PlatformY"},
    {"Machine", "PlatformZ"},       {"Print", "Speed"},       {"", "orphan"},
};
constexpr const char* kValues[] = {"1", "2", "-7", "3.25", "1e3", "text", "0x10", "2147483648"};

std::string ProfilePath()
{
    static const std::string path = [] {
        const char* shm = "/dev/shm";
        std::string base = ::access(shm, W_OK) == 0 ? shm : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
        std::string dir = base + "/morvadin-fuzz-ini-XXXXXX";
        FUZZ_CHECK(::mkdtemp(dir.data()) != nullptr, "mkdtemp");
        return dir + "/morvadin.ini";
    }();
    return path;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    FUZZ_CHECK(out.good(), "writing the profile");
}

std::string Trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The number reads accept exactly the text that is the number (an optional
// '+', then all of it), and leave the caller's value alone otherwise.
void CheckReads(ZELKFileIniBase& ini, const Entry& e)
{
    std::string text = "unchanged";
    const int hasText = ini.GetIniProfileString(e.section, e.key, text);
    if (!hasText)
        FUZZ_CHECK(text == "unchanged", "a missed read wrote its value");

    int number = -12345;
    const int hasInt = ini.GetIniProfileInt(e.section, e.key, number);
    if (hasInt) {
        FUZZ_CHECK(hasText, "an integer without text");
        const std::string t = Trim(text);
        int expected = 0;
        const char* begin = t.data() + (t[0] == '+' ? 1 : 0);
        const auto [end, ec] = std::from_chars(begin, t.data() + t.size(), expected);
        FUZZ_CHECK(ec == std::errc() && end == t.data() + t.size() && expected == number, text.c_str());
    } else {
        FUZZ_CHECK(number == -12345, "a refused integer wrote its value");
    }

    double real = -0.5;
    if (ini.GetIniProfileDouble(e.section, e.key, real)) {
        FUZZ_CHECK(hasText && std::isfinite(real), text.c_str());
    } else {
        FUZZ_CHECK(real == -0.5, "a refused number wrote its value");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const Entry& written = kEntries[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kEntries) - 1)];
    const char* value = kValues[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kValues) - 1)];
    const std::string content = input.ConsumeRemainingBytesAsString();

    const std::string path = ProfilePath();
    WriteFile(path, content);
    ZELKFileIniBase ini(path);

    std::string before[std::size(kEntries)];
    int had[std::size(kEntries)];
    for (std::size_t i = 0; i < std::size(kEntries); ++i) {
        CheckReads(ini, kEntries[i]);
        had[i] = ini.GetIniProfileString(kEntries[i].section, kEntries[i].key, before[i]);
    }

    // One key written: it reads back as written, and every other entry
    // keeps its value; a refused write leaves the file as it was.
    if (ini.WriteIniProfileString(written.section, written.key, value) != 1) {
        FUZZ_CHECK(ReadFile(path) == content, "a refused write changed the file");
        return 0;
    }
    FUZZ_CHECK(ini.LastError().empty(), ini.LastError().c_str());
    std::string back;
    FUZZ_CHECK(ini.GetIniProfileString(written.section, written.key, back) == 1 && back == value,
               "the written value does not read back");
    for (std::size_t i = 0; i < std::size(kEntries); ++i) {
        if (&kEntries[i] == &written)
            continue;
        std::string after;
        const int has = ini.GetIniProfileString(kEntries[i].section, kEntries[i].key, after);
        FUZZ_CHECK(has == had[i] && (!has || after == before[i]), "a write changed another entry");
        CheckReads(ini, kEntries[i]);
    }
    return 0;
}
