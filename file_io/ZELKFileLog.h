// The program's log file: one file in the user's state folder, written through spdlog.
#pragma once

#include <memory>
#include <mutex>
#include <string>

namespace spdlog {
class logger;
}

// Levels of Write: 0 information, 1 warning, 2 error (others: information).
class ZELKFileLog {
public:
    // The log file's name in the user's state folder.
    static constexpr const char* kFileName = "morvadin.log";

    // The process-wide log, writing to the user's log file.
    static ZELKFileLog* GetObjectW();

    // A log writing to path (tools, tests). The file is opened on the first
    // entry and appended to.
    explicit ZELKFileLog(std::string path);
    ~ZELKFileLog();

    ZELKFileLog(const ZELKFileLog&) = delete;
    ZELKFileLog& operator=(const ZELKFileLog&) = delete;

    // One entry: time, level, "source:line", message; flushed at once.
    // Nonzero when it was written (0 when the file cannot be opened).
    int Write(const std::string& source, int line, int level, const std::string& message);

    const std::string& GetPath() const { return m_path; }

private:
    static ZELKFileLog* m_fileLog;

    std::string m_path;
    std::mutex m_mutex;
    std::shared_ptr<spdlog::logger> m_logger;
};
