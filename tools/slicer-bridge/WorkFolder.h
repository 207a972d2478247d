// The bridge's private folder beside the target, and the removal of those that runs killed on the way left.
#pragma once

#include <string>

namespace bridge {

// A hidden folder ".NAME.slicing-XXXXXX" beside the target for the engine's
// output and its own temporaries. It is locked while its run lasts and
// removed with everything in it on every way out the run has; a folder
// whose run was killed is unlocked, and the next run in that place removes it.
class WorkFolder {
public:
    WorkFolder() = default;
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    // Removes the unlocked work folders beside `target` (of any target), then
    // makes and locks this run's own. False with a reason naming the target.
    bool Create(const std::string& target, std::string& error);

    std::string File(const char* name) const { return m_path + "/" + name; }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    int m_lockFd = -1;
};

// Removes every work folder in `folder` that no running bridge holds; returns
// how many went.
int RemoveAbandonedWorkFolders(const std::string& folder);

}  // namespace bridge
