// Locates the program's folders: the shipped files and the user's own folders.
#include "ProgramFolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>

namespace zelk {

namespace fs = std::filesystem;

namespace {

const char* const kAppFolder = "morvadin-x/";
const char* const kWorkingFolder = "PrintModel/";

std::string WithTrailingSlash(std::string dir)
{
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    return dir;
}

std::string ExecutableFolder()
{
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty())
        return "./";
    return WithTrailingSlash(exe.parent_path().string());
}

bool IsAbsolute(const char* value)
{
    return value != nullptr && value[0] == '/';
}

// $name when it is an absolute path, else $HOME + fallback; empty when neither.
std::string XdgFolder(const EnvironmentLookup& environment, const char* name, const char* fallback)
{
    const char* value = environment(name);
    if (IsAbsolute(value))
        return WithTrailingSlash(value) + kAppFolder;
    const char* home = environment("HOME");
    if (IsAbsolute(home))
        return WithTrailingSlash(home) + fallback + kAppFolder;
    return {};
}

const char* SystemEnvironment(const char* name)
{
    return std::getenv(name);
}

bool Exists(const std::string& path)
{
    std::error_code ec;
    return fs::exists(path, ec);
}

}  // namespace

std::string ShippedFolderFor(const std::string& exeFolder, const std::function<bool(const std::string&)>& isFolder)
{
    const std::string folder = WithTrailingSlash(exeFolder);
    const std::string installed = folder + "../share/" + kAppFolder;
    if (isFolder(installed))
        return fs::path(installed).lexically_normal().string();
    return folder;
}

ProgramFolders ChooseProgramFolders(const EnvironmentLookup& environment, const std::string& shippedFolder)
{
    ProgramFolders folders;
    const char* home = environment("MORVADIN_HOME");
    if (home != nullptr && *home != '\0') {
        const std::string one = WithTrailingSlash(home);
        folders = {one, one, one, one, true, {}};
        return folders;
    }
    folders.shipped = WithTrailingSlash(shippedFolder);
    folders.config = XdgFolder(environment, "XDG_CONFIG_HOME", ".config/");
    folders.state = XdgFolder(environment, "XDG_STATE_HOME", ".local/state/");
    folders.cache = XdgFolder(environment, "XDG_CACHE_HOME", ".cache/");
    if (folders.config.empty() || folders.state.empty() || folders.cache.empty())
        folders.error = "HOME is not set to an absolute folder: there is nowhere to keep the profile, the log "
                        "and the working files (set HOME, or MORVADIN_HOME for one folder holding everything)";
    return folders;
}

std::string GetExecutableFolder()
{
    static const std::string exeFolder = ExecutableFolder();
    return exeFolder;
}

ProgramFolders GetProgramFolders()
{
    static const std::string shipped = ShippedFolderFor(GetExecutableFolder(), [](const std::string& path) {
        std::error_code ec;
        return fs::is_directory(path, ec);
    });
    return ChooseProgramFolders(SystemEnvironment, shipped);
}

std::string GetProgramFolder()
{
    return GetProgramFolders().shipped;
}

std::string ProgramFilePath(const std::string& relative)
{
    return GetProgramFolder() + relative;
}

std::string UserConfigPath(const std::string& relative)
{
    const ProgramFolders folders = GetProgramFolders();
    return folders.config.empty() ? std::string() : folders.config + relative;
}

std::string UserStatePath(const std::string& relative)
{
    const ProgramFolders folders = GetProgramFolders();
    return folders.state.empty() ? std::string() : folders.state + relative;
}

std::string UserFileOrShipped(const std::string& relative)
{
    const ProgramFolders folders = GetProgramFolders();
    if (!folders.config.empty() && Exists(folders.config + relative))
        return folders.config + relative;
    return folders.shipped + relative;
}

std::string SeedUserFile(const std::string& relative, std::string& error)
{
    const ProgramFolders folders = GetProgramFolders();
    if (!folders.error.empty()) {
        error = folders.error;
        return {};
    }
    const std::string target = folders.config + relative;
    if (folders.oneFolder || Exists(target))
        return target;
    std::error_code ec;
    fs::create_directories(fs::path(target).parent_path(), ec);
    if (ec) {
        error = "cannot create " + fs::path(target).parent_path().string() + ": " + ec.message();
        return {};
    }
    // Copied whole under a private name, then linked into place: a second
    // program seeding at the same moment finds the name taken and keeps its copy.
    const std::string temporary = target + "." + std::to_string(::getpid()) + ".seed";
    fs::copy_file(folders.shipped + relative, temporary, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        error = "cannot copy " + folders.shipped + relative + " to " + target + ": " + ec.message();
        fs::remove(temporary, ec);
        return {};
    }
    if (::link(temporary.c_str(), target.c_str()) != 0 && errno != EEXIST) {
        error = "cannot write " + target + ": " + std::strerror(errno);
        fs::remove(temporary, ec);
        return {};
    }
    fs::remove(temporary, ec);
    return target;
}

bool PrepareUserFolders(std::string& error)
{
    const ProgramFolders folders = GetProgramFolders();
    if (folders.oneFolder)
        return true;
    if (!folders.error.empty()) {
        error = folders.error;
        return false;
    }
    for (const std::string& folder : {folders.config, folders.state, folders.cache + kWorkingFolder}) {
        std::error_code ec;
        fs::create_directories(folder, ec);
        if (ec) {
            error = "cannot create the folder " + folder + ": " + ec.message();
            return false;
        }
        if (::access(folder.c_str(), W_OK) != 0) {
            error = "cannot write in the folder " + folder + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

int ClaimWorkingFolder(const std::string& base, const std::string& id, std::string& folder, std::string& error)
{
    std::error_code ec;
    fs::create_directories(base, ec);
    if (ec) {
        error = "cannot create the folder " + base + ": " + ec.message();
        return -1;
    }
    // A lock no process holds belongs to a program that has ended: its
    // folder goes. A lock held (even by this process) is left alone.
    for (const fs::directory_entry& entry : fs::directory_iterator(base, ec)) {
        const fs::path lockPath = entry.path();
        if (lockPath.extension() != ".lock")
            continue;
        const int fd = ::open(lockPath.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            std::error_code ignored;
            fs::remove_all(fs::path(lockPath).replace_extension(), ignored);
            fs::remove(lockPath, ignored);
        }
        ::close(fd);
    }
    const std::string lockPath = base + id + ".lock";
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot create " + lockPath + ": " + std::strerror(errno);
        return -1;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = "the working folder " + base + id + "/ is in use by another program";
        ::close(fd);
        return -1;
    }
    folder = base + id + "/";
    fs::create_directories(folder, ec);
    if (ec) {
        error = "cannot create the folder " + folder + ": " + ec.message();
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string WorkingFolder()
{
    const ProgramFolders folders = GetProgramFolders();
    if (folders.oneFolder)
        return folders.cache + kWorkingFolder;
    if (!folders.error.empty())
        return {};
    // Claimed once per process; the lock stays held until the process ends.
    static std::mutex mutex;
    static std::string claimedBase, claimed;
    std::lock_guard lock(mutex);
    const std::string base = folders.cache + kWorkingFolder;
    if (claimedBase != base) {
        std::string folder, error;
        if (ClaimWorkingFolder(base, std::to_string(::getpid()), folder, error) < 0)
            return {};
        claimedBase = base;
        claimed = folder;
    }
    return claimed;
}

}  // namespace zelk
