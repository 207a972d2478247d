// The program's log file: one file in the user's state folder, written through spdlog.
#include "ZELKFileLog.h"

#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

#include "ProgramFolder.h"

ZELKFileLog* ZELKFileLog::m_fileLog = nullptr;

ZELKFileLog* ZELKFileLog::GetObjectW()
{
    static std::once_flag once;
    std::call_once(once, [] { m_fileLog = new ZELKFileLog(zelk::UserStatePath(kFileName)); });
    return m_fileLog;
}

ZELKFileLog::ZELKFileLog(std::string path) : m_path(std::move(path)) {}

ZELKFileLog::~ZELKFileLog() = default;

int ZELKFileLog::Write(const std::string& source, int line, int level, const std::string& message)
{
    std::lock_guard lock(m_mutex);
    try {
        if (!m_logger) {
            auto sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>(m_path, false);
            // Not registered: several logs (tests, tools) may live side by side.
            m_logger = std::make_shared<spdlog::logger>("morvadin", std::move(sink));
            m_logger->set_pattern("%Y-%m-%d %H:%M:%S.%e [%l] %v");
            m_logger->set_level(spdlog::level::trace);
        }
        const spdlog::level::level_enum spdLevel =
            level == 1 ? spdlog::level::warn : (level == 2 ? spdlog::level::err : spdlog::level::info);
        m_logger->log(spdLevel, "{}:{} {}", source, line, message);
        m_logger->flush();
        return 1;
    } catch (const spdlog::spdlog_ex&) {
        m_logger.reset();
        return 0;
    }
}
