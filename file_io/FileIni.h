// The program's INI profile: numbers read by section and key, and written without losing the rest.
#pragma once

#include <mutex>
#include <string>

#include "GeBuildVolume.h"

class ZELKFileLog;

// One INI file. Every read looks at the file as it is now, so a value written
// by one caller (or edited by hand) is seen by the next read. Reads leave the
// caller's value unchanged when the file, the section or the key is missing or
// the text is not a number; they return 1 when a value was read, else 0.
class ZELKFileIniBase {
public:
    explicit ZELKFileIniBase(std::string path);
    virtual ~ZELKFileIniBase() = default;

    int GetIniProfileDouble(const std::string& section, const std::string& key, double& value);
    int GetIniProfileInt(const std::string& section, const std::string& key, int& value);
    int GetIniProfileString(const std::string& section, const std::string& key, std::string& value);

    // Sets one key and rewrites the file through a temporary file, keeping its
    // other sections, keys and comments, under a lock that other programs
    // writing the same profile take too. Returns 1, or 0 with LastError() set;
    // a file that exists but cannot be read is left alone rather than replaced.
    int WriteIniProfileInt(const std::string& section, const std::string& key, int value);
    int WriteIniProfileDouble(const std::string& section, const std::string& key, double value);
    int WriteIniProfileString(const std::string& section, const std::string& key, const std::string& value);

    const std::string& GetPath() const { return m_path; }
    // Why the last write failed, naming the file.
    std::string LastError() const;

    // A file that is no profile (binary bytes, text that is no INI) is never
    // replaced unseen: a copy is kept as PATH.broken, by this call or by the
    // first write, which then starts a new profile. Returns, once, the line
    // that tells the user so; empty when there is nothing to tell.
    std::string SetAsideIfBroken();

private:
    bool ReadValue(const std::string& section, const std::string& key, std::string& text);
    // Keeps `content` as PATH.broken (called with m_mutex held); false with
    // m_lastError when the copy cannot be written.
    bool KeepBrokenCopyLocked(const std::string& content);

    std::string m_path;
    mutable std::mutex m_mutex;
    std::string m_lastError;
    std::string m_brokenNotice;
};

// The profile in the user's config folder ("morvadin.ini"), one per process.
class ZELKFileIni : public ZELKFileIniBase {
public:
    static ZELKFileIni* GetFileIniObject();
    static const char* const kFileName;

private:
    ZELKFileIni();
    static ZELKFileIni* m_fileIni;
};

namespace zelk::ini {

// The text of `section`/`key` in INI `content`; false when the content does
// not parse or holds no such key.
bool ReadValue(const std::string& content, const std::string& section, const std::string& key, std::string& text);
// Whether `content` reads as a profile: UTF-8 text without control bytes
// whose lines are sections, "key = value" lines, comments or blank.
bool LooksLikeProfile(const std::string& content);
// `content` with `section`/`key` set to `value`, every other section, key and
// comment (and a leading byte-order mark) kept. False, with `error`, when
// the content cannot be parsed or formatted.
bool WithValue(const std::string& content, const std::string& section, const std::string& key,
               const std::string& value, std::string& output, std::string& error);
// The whole text (spaces around it and one leading '+' allowed) as a number.
bool ParseInt(const std::string& text, int& out);
bool ParseDouble(const std::string& text, double& out);

}  // namespace zelk::ini

namespace zelk {

// The build volume a profile without (sane) "PRINTPLATFORM" sizes gets, in mm.
inline constexpr double kDefaultPlatformMm = 150.0;
// Sizes outside this range (and anything that is not a finite number) are
// typing mistakes, not printers: they would make the view or the layout useless.
inline constexpr double kMinPlatformMm = 10.0;
inline constexpr double kMaxPlatformMm = 2000.0;

// Reads "PRINTPLATFORM" / "PlatformLength", "PlatformWidth", "PlatformHigh".
// A missing key gives the default silently; a value that is not a number or
// lies outside [kMinPlatformMm, kMaxPlatformMm] gives the default with a
// warning in `log` (the program's log when null). Returns false when a value
// present in the profile was refused.
bool ReadPlatformSize(ZELKFileIniBase& profile, double& length, double& width, double& height,
                      ZELKFileLog* log = nullptr);

// The build volume of the program's profile (the user's, else the shipped
// one), as the plate shows it: for the programs that print without the plate.
ZELKGeBuildVolume ProfileBuildVolume();

}  // namespace zelk
