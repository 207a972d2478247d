// Fuzzes the INI profile (SimpleIni): reads of numbers and text, and a write that must keep everything else.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
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
void CheckNumbers(bool hasText, const std::string& text, int hasInt, int number, int hasReal, double real)
{
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
    if (hasReal)
        FUZZ_CHECK(hasText && std::isfinite(real), text.c_str());
    else
        FUZZ_CHECK(real == -0.5, "a refused number wrote its value");
}

void CheckReads(const std::string& content, const Entry& e)
{
    std::string text = "unchanged";
    const bool hasText = zelk::ini::ReadValue(content, e.section, e.key, text);
    if (!hasText)
        FUZZ_CHECK(text == "unchanged", "a missed read wrote its value");
    int number = -12345;
    const bool hasInt = hasText && zelk::ini::ParseInt(text, number);
    double real = -0.5;
    const bool hasReal = hasText && zelk::ini::ParseDouble(text, real);
    CheckNumbers(hasText, text, hasInt, number, hasReal, real);
}

// The same contract through the profile file, whose reads look at the file each time.
void CheckFileReads(ZELKFileIniBase& ini, const Entry& e)
{
    std::string text = "unchanged";
    const int hasText = ini.GetIniProfileString(e.section, e.key, text);
    if (!hasText)
        FUZZ_CHECK(text == "unchanged", "a missed read wrote its value");
    int number = -12345;
    const int hasInt = ini.GetIniProfileInt(e.section, e.key, number);
    double real = -0.5;
    const int hasReal = ini.GetIniProfileDouble(e.section, e.key, real);
    CheckNumbers(hasText, text, hasInt, number, hasReal, real);
}

// Reads every entry of `content`, sets one, and checks that the set one
// reads back as written while every other entry keeps its value.
void CheckWrite(const std::string& content, const Entry& written, const char* value)
{
    std::string before[std::size(kEntries)];
    bool had[std::size(kEntries)];
    for (std::size_t i = 0; i < std::size(kEntries); ++i) {
        CheckReads(content, kEntries[i]);
        had[i] = zelk::ini::ReadValue(content, kEntries[i].section, kEntries[i].key, before[i]);
    }
    std::string output, error;
    if (!zelk::ini::WithValue(content, written.section, written.key, value, output, error)) {
        FUZZ_CHECK(!error.empty(), "a refused write without a reason");
        return;
    }
    std::string back;
    FUZZ_CHECK(zelk::ini::ReadValue(output, written.section, written.key, back) && back == value,
               "the written value does not read back");
    for (std::size_t i = 0; i < std::size(kEntries); ++i) {
        if (&kEntries[i] == &written)
            continue;
        std::string after;
        const bool has = zelk::ini::ReadValue(output, kEntries[i].section, kEntries[i].key, after);
        FUZZ_CHECK(has == had[i] && (!has || after == before[i]), "a write changed another entry");
        CheckReads(output, kEntries[i]);
    }
}

// The file path: a write goes through the temporary file and the rename and
// gives what the in-memory write gives; a refused write leaves the file alone.
// Content that is no profile is kept as PATH.broken and the write starts anew.
void CheckFileWrite(const std::string& content, const Entry& written, const char* value)
{
    const std::string path = ProfilePath();
    WriteFile(path, content);
    std::remove((path + ".broken").c_str());
    ZELKFileIniBase ini(path);
    for (const Entry& e : kEntries)
        CheckFileReads(ini, e);
    const bool profile = zelk::ini::LooksLikeProfile(content);
    std::string expected, error;
    const bool canWrite =
        zelk::ini::WithValue(profile ? content : std::string(), written.section, written.key, value, expected, error);
    if (ini.WriteIniProfileString(written.section, written.key, value) != 1) {
        FUZZ_CHECK(!canWrite, "the file write failed where the text could be written");
        FUZZ_CHECK(ReadFile(path) == content, "a refused write changed the file");
        return;
    }
    FUZZ_CHECK(ini.LastError().empty(), ini.LastError().c_str());
    FUZZ_CHECK(canWrite && ReadFile(path) == expected, "the file differs from the written text");
    if (!profile)
        FUZZ_CHECK(ReadFile(path + ".broken") == content, "no copy kept of what was no profile");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const Entry& written = kEntries[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kEntries) - 1)];
    const char* value = kValues[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kValues) - 1)];
    // The file round trip costs system calls; one input in 32 takes it.
    const bool throughFile = input.ConsumeIntegralInRange<int>(0, 31) == 0;
    const std::string content = input.ConsumeRemainingBytesAsString();

    CheckWrite(content, written, value);
    if (throughFile)
        CheckFileWrite(content, written, value);
    return 0;
}
