// The printer devices a user can choose from.
#include "SerialPortList.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

namespace zelk {

namespace {

std::vector<std::string> Entries(const fs::path& folder, const std::string& prefix)
{
    std::vector<std::string> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(prefix, 0) == 0)
            found.push_back(it->path().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace

std::vector<std::string> ListSerialDevices(const std::string& devRoot)
{
    const fs::path root(devRoot);
    std::vector<std::string> devices = Entries(root / "serial" / "by-id", "");
    std::set<fs::path> named;
    for (const std::string& link : devices) {
        std::error_code error;
        const fs::path target = fs::canonical(link, error);
        if (!error)
            named.insert(target);
    }
    for (const char* prefix : {"ttyACM", "ttyUSB"})
        for (std::string& device : Entries(root, prefix)) {
            std::error_code error;
            const fs::path real = fs::canonical(device, error);
            if (error || named.count(real) == 0)
                devices.push_back(std::move(device));
        }
    return devices;
}

}  // namespace zelk
