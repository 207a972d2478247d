// Other names of one file, for the tests that no writer writes onto its own input.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

struct FileAlias {
    std::string how;   // "dot spelling", "relative path", "symbolic link", "hard link"
    std::string path;
};

// Four other names of `file` (which must exist): "DIR/./NAME", the path
// relative to the working folder starting with "./", and a symbolic and a
// hard link made beside it (named "symlink-NAME" and "hardlink-NAME").
inline std::vector<FileAlias> OtherNamesOf(const std::string& file)
{
    namespace fs = std::filesystem;
    const fs::path path = fs::absolute(file);
    const fs::path dir = path.parent_path();
    const std::string name = path.filename().string();
    const std::string symlink = (dir / ("symlink-" + name)).string();
    const std::string hardlink = (dir / ("hardlink-" + name)).string();
    std::error_code ec;
    fs::remove(symlink, ec);
    fs::remove(hardlink, ec);
    fs::create_symlink(path, symlink);
    fs::create_hard_link(path, hardlink);
    return {
        {"dot spelling", (dir / "." / name).string()},
        {"relative path", "./" + fs::relative(path).string()},
        {"symbolic link", symlink},
        {"hard link", hardlink},
    };
}

}  // namespace testsupport
