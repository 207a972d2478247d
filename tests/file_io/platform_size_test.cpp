// The platform size from the profile: sane values are kept, the rest give way to the defaults with a log line.
#include <gtest/gtest.h>

#include "FileIni.h"
#include "TempDir.h"
#include "ZELKFileLog.h"

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

struct SizeCase {
    const char* stored;  // the text after "PlatformLength=", or null for no key
    double expected;
    bool refused;
};

TEST(PlatformSize, KeepsSaneSizesAndRefusesTheRestWithALogLine)
{
    const SizeCase cases[] = {
        {nullptr, zelk::kDefaultPlatformMm, false},
        {"200.5", 200.5, false},
        {"10", 10, false},
        {"2000", 2000, false},
        {"9.99", zelk::kDefaultPlatformMm, true},
        {"2000.5", zelk::kDefaultPlatformMm, true},
        {"0", zelk::kDefaultPlatformMm, true},
        {"-120", zelk::kDefaultPlatformMm, true},
        {"1e308", zelk::kDefaultPlatformMm, true},
        {"inf", zelk::kDefaultPlatformMm, true},
        {"-inf", zelk::kDefaultPlatformMm, true},
        {"nan", zelk::kDefaultPlatformMm, true},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(c.stored != nullptr ? c.stored : "no key");
        TempDir dir;
        std::string text = "[PRINTPLATFORM]\nPlatformWidth=140\nPlatformHigh=120\n";
        if (c.stored != nullptr)
            text += std::string("PlatformLength=") + c.stored + "\n";
        WriteFile(dir.File("morvadin.ini"), text);
        ZELKFileIniBase profile(dir.File("morvadin.ini"));
        ZELKFileLog log(dir.File("morvadin.log"));
        double length = -1, width = -1, height = -1;
        EXPECT_EQ(zelk::ReadPlatformSize(profile, length, width, height, &log), !c.refused);
        EXPECT_EQ(length, c.expected);
        EXPECT_EQ(width, 140);
        EXPECT_EQ(height, 120);
        const std::string logged = ReadFile(dir.File("morvadin.log"));
        if (c.refused) {
            EXPECT_NE(logged.find("[warning]"), std::string::npos) << logged;
            EXPECT_NE(logged.find(std::string("PlatformLength=") + c.stored), std::string::npos) << logged;
        } else {
            EXPECT_EQ(logged, "");
        }
    }
}

TEST(PlatformSize, NoProfileFileMeansTheDefaultsWithoutComplaint)
{
    TempDir dir;
    ZELKFileIniBase profile(dir.File("absent.ini"));
    ZELKFileLog log(dir.File("morvadin.log"));
    double length = -1, width = -1, height = -1;
    EXPECT_TRUE(zelk::ReadPlatformSize(profile, length, width, height, &log));
    EXPECT_EQ(length, zelk::kDefaultPlatformMm);
    EXPECT_EQ(width, zelk::kDefaultPlatformMm);
    EXPECT_EQ(height, zelk::kDefaultPlatformMm);
    EXPECT_EQ(ReadFile(dir.File("morvadin.log")), "");
}

}  // namespace
