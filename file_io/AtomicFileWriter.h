// Writes a file through a temporary file beside it, so that the target is
// either the complete new content or left as it was.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace zelk {

// Usage: Open(), any number of Write(), then Commit(). Every step reports
// failure; after a failure (or when the writer is destroyed uncommitted) the
// temporary file is removed and the target is untouched. Error() explains the
// first failure in one line that names the file.
//
// A symbolic link is written through: the temporary file goes beside the file
// the link names, and the link stays. A file that is replaced keeps its mode
// (and its owner where the process may set it). A character device or a pipe
// is written directly, without a temporary file, since renaming over it would
// put a plain file in its place.
class AtomicFileWriter {
public:
    explicit AtomicFileWriter(std::string targetPath);
    ~AtomicFileWriter();

    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    bool Open();
    bool Write(const void* data, std::size_t size);
    bool Write(const std::string& text) { return Write(text.data(), text.size()); }
    // Flushes and closes the temporary file and renames it over the target.
    // With durable set the data is synced to disk before the rename.
    bool Commit(bool durable);
    // Drops what was written; the target stays as it was.
    void Discard();

    const std::string& Error() const { return m_error; }
    const std::string& TargetPath() const { return m_target; }

private:
    bool Fail(const std::string& what, int err);
    bool OpenTemporary(const std::string& finalPath);
    bool OpenDirect(const std::string& finalPath);
    void ForgetTemporary();

    std::string m_target;
    std::string m_final;  // the target with its links resolved
    std::string m_temp;   // empty when writing directly
    std::FILE* m_file = nullptr;
    int m_cleanupSlot = -1;
    std::string m_error;
};

// For command-line programs: on SIGINT, SIGTERM or SIGHUP, removes the
// temporary files of the writers still open, then ends the process by the
// same signal. Signals the program already handles or ignores are left alone;
// such a program calls RemoveLiveTemporaryFiles() from its own handler.
void InstallTemporaryFileCleanup();

// Removes the temporary files of the writers still open. Async-signal-safe.
void RemoveLiveTemporaryFiles();

}  // namespace zelk
