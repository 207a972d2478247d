// Locates the program folder: where the shipped files and the working files live.
#include "ProgramFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace zelk {

namespace {

std::string WithTrailingSlash(std::string dir)
{
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    return dir;
}

std::string ExecutableFolder()
{
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty())
        return "./";
    return WithTrailingSlash(exe.parent_path().string());
}

}  // namespace

std::string GetProgramFolder()
{
    const char* home = std::getenv("MORVADIN_HOME");
    if (home != nullptr && *home != '\0')
        return WithTrailingSlash(home);
    return GetExecutableFolder();
}

std::string GetExecutableFolder()
{
    static const std::string exeFolder = ExecutableFolder();
    return exeFolder;
}

std::string ProgramFilePath(const std::string& relative)
{
    return GetProgramFolder() + relative;
}

}  // namespace zelk
