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

    std::string m_target;
    std::string m_temp;
    std::FILE* m_file = nullptr;
    std::string m_error;
};

}  // namespace zelk
