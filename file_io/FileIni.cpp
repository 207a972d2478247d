// The program's INI profile: numbers read by section and key, and written without losing the rest.
#include "FileIni.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// UTF-8 in, UTF-8 out: the profile needs no character conversion.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include "AtomicFileWriter.h"
#include "ProgramFolder.h"
#include "ZELKFileLog.h"

namespace {

enum class FileState { Read, Missing, Unreadable };

FileState ReadWholeFile(const std::string& path, std::string& content, std::string& error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT)
            return FileState::Missing;
        error = "cannot read " + path + ": " + std::strerror(err);
        return FileState::Unreadable;
    }
    struct stat info {};
    int err = 0;
    if (::fstat(fd, &info) != 0)
        err = errno;
    else if (!S_ISREG(info.st_mode))
        err = EISDIR;
    char buffer[8192];
    while (err == 0) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0)
            content.append(buffer, static_cast<std::size_t>(got));
        else if (got == 0)
            break;
        else if (errno != EINTR)
            err = errno;
    }
    ::close(fd);
    if (err != 0) {
        error = "cannot read " + path + ": " + (S_ISDIR(info.st_mode) ? "it is a folder" : std::strerror(err));
        return FileState::Unreadable;
    }
    return FileState::Read;
}

std::string Trim(const std::string& text)
{
    const char* spaces = " \t\r\n";
    const auto first = text.find_first_not_of(spaces);
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(spaces);
    return text.substr(first, last - first + 1);
}

// A whole UTF-8 sequence starting at `text[at]`; its length, or 0.
std::size_t Utf8Sequence(const std::string& text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || lead == 0xC0 || lead == 0xC1 || lead > 0xF4 || at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
    return length;
}

// Holds the lock on the profile's folder for one read-and-replace, so two
// programs that write the profile at once do not lose each other's keys.
class FolderLock {
public:
    explicit FolderLock(const std::string& file)
    {
        const std::size_t slash = file.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
        m_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd >= 0)
            while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~FolderLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int m_fd = -1;
};

std::string FormatDouble(double value)
{
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("0");
}

}  // namespace

namespace zelk::ini {

bool ParseDouble(const std::string& raw, double& out)
{
    const std::string text = Trim(raw);
    if (text.empty())
        return false;
    const char* begin = text.data() + (text[0] == '+' ? 1 : 0);
    double value = 0.0;
    const auto [end, ec] = std::from_chars(begin, text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return false;
    out = value;
    return true;
}

bool ParseInt(const std::string& raw, int& out)
{
    const std::string text = Trim(raw);
    if (text.empty())
        return false;
    const char* begin = text.data() + (text[0] == '+' ? 1 : 0);
    int value = 0;
    const auto [end, ec] = std::from_chars(begin, text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return false;
    out = value;
    return true;
}

bool LooksLikeProfile(const std::string& content)
{
    std::size_t at = content.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    std::size_t lineStart = at;
    for (; at <= content.size(); ++at) {
        if (at == content.size() || content[at] == '\n') {
            const std::string line = Trim(content.substr(lineStart, at - lineStart));
            const bool fits = line.empty() || line[0] == ';' || line[0] == '#' ||
                              (line[0] == '[' && line.find(']') != std::string::npos) ||
                              line.find('=') != std::string::npos;
            if (!fits)
                return false;
            lineStart = at + 1;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(content[at]);
        if (c < 0x20 && c != '\t' && c != '\r')
            return false;
        const std::size_t length = Utf8Sequence(content, at);
        if (length == 0)
            return false;
        at += length - 1;
    }
    return true;
}

bool ReadValue(const std::string& content, const std::string& section, const std::string& key, std::string& text)
{
    CSimpleIniA ini;
    ini.SetUnicode(true);
    if (ini.LoadData(content) < 0)
        return false;
    const char* value = ini.GetValue(section.c_str(), key.c_str(), nullptr);
    if (value == nullptr)
        return false;
    text = value;
    return true;
}

bool WithValue(const std::string& content, const std::string& section, const std::string& key,
               const std::string& value, std::string& output, std::string& error)
{
    CSimpleIniA ini;
    ini.SetUnicode(true);
    if (ini.LoadData(content) < 0) {
        error = "cannot parse the profile";
        return false;
    }
    // Keep a byte-order mark if the file had one.
    const bool hadSignature = content.rfind("\xEF\xBB\xBF", 0) == 0;
    if (ini.SetValue(section.c_str(), key.c_str(), value.c_str()) < 0) {
        error = "cannot set " + section + "/" + key;
        return false;
    }
    output.clear();
    if (ini.Save(output, hadSignature) < 0) {
        error = "cannot format the profile";
        return false;
    }
    // A key outside every section whose name begins with the byte-order
    // mark's bytes is written first: at the start of the file a reader takes
    // them for the mark and the line for something else. A blank first line
    // keeps them where the file had them.
    static constexpr char kSignature[] = "\xEF\xBB\xBF";
    if (!hadSignature && output.rfind(kSignature, 0) == 0)
        output.insert(0, "\n");
    // Whatever else the formatting may do, a profile that would not read
    // back the value written is not written.
    std::string back;
    if (!ReadValue(output, section, key, back) || back != value) {
        error = "the profile cannot hold " + section + "/" + key + " as written";
        output.clear();
        return false;
    }
    return true;
}

}  // namespace zelk::ini

ZELKFileIniBase::ZELKFileIniBase(std::string path) : m_path(std::move(path)) {}

std::string ZELKFileIniBase::LastError() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastError;
}

bool ZELKFileIniBase::ReadValue(const std::string& section, const std::string& key, std::string& text)
{
    std::string content, error;
    return ReadWholeFile(m_path, content, error) == FileState::Read && zelk::ini::ReadValue(content, section, key, text);
}

int ZELKFileIniBase::GetIniProfileDouble(const std::string& section, const std::string& key, double& value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string text;
    return ReadValue(section, key, text) && zelk::ini::ParseDouble(text, value) ? 1 : 0;
}

int ZELKFileIniBase::GetIniProfileInt(const std::string& section, const std::string& key, int& value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string text;
    return ReadValue(section, key, text) && zelk::ini::ParseInt(text, value) ? 1 : 0;
}

int ZELKFileIniBase::GetIniProfileString(const std::string& section, const std::string& key, std::string& value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string text;
    if (!ReadValue(section, key, text))
        return 0;
    value = text;
    return 1;
}

int ZELKFileIniBase::WriteIniProfileString(const std::string& section, const std::string& key,
                                           const std::string& value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const FolderLock otherPrograms(m_path);
    m_lastError.clear();
    std::string content;
    if (ReadWholeFile(m_path, content, m_lastError) == FileState::Unreadable)
        return 0;
    // What is no profile is not carried on: it is kept aside, and the new
    // profile starts from this value alone.
    if (!zelk::ini::LooksLikeProfile(content)) {
        if (!KeepBrokenCopyLocked(content))
            return 0;
        content.clear();
    }
    std::string output, error;
    if (!zelk::ini::WithValue(content, section, key, value, output, error)) {
        m_lastError = error + " (" + m_path + ")";
        return 0;
    }
    zelk::AtomicFileWriter writer(m_path);
    if (!writer.Open() || !writer.Write(output) || !writer.Commit(true)) {
        m_lastError = writer.Error();
        return 0;
    }
    return 1;
}

bool ZELKFileIniBase::KeepBrokenCopyLocked(const std::string& content)
{
    const std::string copy = m_path + ".broken";
    std::string kept, ignored;
    if (ReadWholeFile(copy, kept, ignored) == FileState::Read && kept == content)
        return true;
    zelk::AtomicFileWriter writer(copy);
    if (!writer.Open() || !writer.Write(content) || !writer.Commit(true)) {
        m_lastError = m_path + " is no profile, and no copy of it could be kept: " + writer.Error();
        return false;
    }
    m_brokenNotice = m_path + " could not be read as a profile; it is kept as " + copy +
                     " and the default settings are used";
    ZELKFileLog::GetObjectW()->Write("ZELKFileIni", __LINE__, 1, m_brokenNotice);
    return true;
}

std::string ZELKFileIniBase::SetAsideIfBroken()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const FolderLock otherPrograms(m_path);
    std::string content, error;
    if (ReadWholeFile(m_path, content, error) == FileState::Read && !zelk::ini::LooksLikeProfile(content) &&
        !KeepBrokenCopyLocked(content))
        return m_lastError;
    std::string notice;
    notice.swap(m_brokenNotice);
    return notice;
}

int ZELKFileIniBase::WriteIniProfileInt(const std::string& section, const std::string& key, int value)
{
    return WriteIniProfileString(section, key, std::to_string(value));
}

int ZELKFileIniBase::WriteIniProfileDouble(const std::string& section, const std::string& key, double value)
{
    if (!std::isfinite(value)) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lastError = "not a finite number for " + section + "/" + key;
        return 0;
    }
    return WriteIniProfileString(section, key, FormatDouble(value));
}

const char* const ZELKFileIni::kFileName = "morvadin.ini";
ZELKFileIni* ZELKFileIni::m_fileIni = nullptr;

ZELKFileIni::ZELKFileIni() : ZELKFileIniBase(zelk::UserConfigPath(kFileName)) {}

ZELKFileIni* ZELKFileIni::GetFileIniObject()
{
    static std::mutex creation;
    std::lock_guard<std::mutex> lock(creation);
    if (m_fileIni == nullptr)
        m_fileIni = new (std::nothrow) ZELKFileIni();
    return m_fileIni;
}

namespace zelk {

namespace {

// One size; false when the profile holds a value that cannot be a printer's.
bool ReadOneSize(ZELKFileIniBase& profile, const char* key, double& size, std::string& refused)
{
    size = kDefaultPlatformMm;
    std::string text;
    if (profile.GetIniProfileString("PRINTPLATFORM", key, text) == 0)
        return true;
    double value = 0.0;
    if (profile.GetIniProfileDouble("PRINTPLATFORM", key, value) == 1 && value >= kMinPlatformMm &&
        value <= kMaxPlatformMm) {
        size = value;
        return true;
    }
    refused += std::string(refused.empty() ? "" : ", ") + key + "=" + Trim(text).substr(0, 40);
    return false;
}

// The same refusal is written once, not at every read of the sizes.
bool FirstTimeSaid(const std::string& message)
{
    static std::mutex mutex;
    static std::string last;
    std::lock_guard<std::mutex> lock(mutex);
    if (message == last)
        return false;
    last = message;
    return true;
}

}  // namespace

bool ReadPlatformSize(ZELKFileIniBase& profile, double& length, double& width, double& height, ZELKFileLog* log)
{
    std::string refused;
    bool ok = ReadOneSize(profile, "PlatformLength", length, refused);
    ok = ReadOneSize(profile, "PlatformWidth", width, refused) && ok;
    ok = ReadOneSize(profile, "PlatformHigh", height, refused) && ok;
    if (!ok) {
        const std::string message = profile.GetPath() + ": platform size not between " +
                                    FormatDouble(kMinPlatformMm) + " and " + FormatDouble(kMaxPlatformMm) +
                                    " mm (" + refused + "), " + FormatDouble(kDefaultPlatformMm) +
                                    " mm used instead";
        if (log != nullptr || FirstTimeSaid(message)) {
            ZELKFileLog* target = log != nullptr ? log : ZELKFileLog::GetObjectW();
            target->Write("ZELKFileIni", __LINE__, 1, message);
        }
    }
    return ok;
}

ZELKGeBuildVolume ProfileBuildVolume()
{
    double length = kDefaultPlatformMm, width = kDefaultPlatformMm, height = kDefaultPlatformMm;
    ZELKFileIniBase profile(UserFileOrShipped(ZELKFileIni::kFileName));
    ReadPlatformSize(profile, length, width, height);
    return ZELKGeBuildVolume::Platform(length, width, height);
}

}  // namespace zelk
