// The printer devices offered: stable names first, each device once, never the on-board ports.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "SerialPortList.h"
#include "TempDir.h"

namespace fs = std::filesystem;

TEST(SerialPortList, StableNamesFirstEachDeviceOnceOnBoardPortsLeftOut)
{
    testsupport::TempDir dev;
    const fs::path root = dev.Path();
    for (const char* name : {"ttyS0", "ttyS1", "ttyACM1", "ttyACM0", "ttyUSB0", "tty", "console", "ttyAMA0"})
        std::ofstream(root / name) << "";
    fs::create_directories(root / "serial" / "by-id");
    // The printer on ttyACM0 has a stable name; the adapter on ttyUSB0 has none.
    fs::create_symlink("../../ttyACM0", root / "serial" / "by-id" / "usb-Maker_Printer_1234-if00");

    const std::vector<std::string> devices = zelk::ListSerialDevices(root.string());
    const std::vector<std::string> expected = {(root / "serial/by-id/usb-Maker_Printer_1234-if00").string(),
                                               (root / "ttyACM1").string(), (root / "ttyUSB0").string()};
    EXPECT_EQ(devices, expected);
}

TEST(SerialPortList, AMachineWithoutDevicesOrByIdFolderListsNothing)
{
    testsupport::TempDir dev;
    std::ofstream(dev.Path() / "ttyS0") << "";
    EXPECT_TRUE(zelk::ListSerialDevices(dev.Path().string()).empty());
    EXPECT_TRUE(zelk::ListSerialDevices((dev.Path() / "missing").string()).empty());
}
