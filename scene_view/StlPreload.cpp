// STL files read, and made ready to draw, on a thread of their own from the program's start.
#include "StlPreload.h"

namespace ZELKCAD {

namespace {

std::mutex g_currentMutex;
StlPreload* g_current = nullptr;

}  // namespace

StlPreload::StlPreload(std::vector<std::string> paths)
    : m_paths(std::move(paths)), m_reads(m_paths.size()), m_done(m_paths.size(), false),
      m_taken(m_paths.size(), false)
{
    {
        std::lock_guard<std::mutex> lock(g_currentMutex);
        g_current = this;
    }
    if (!m_paths.empty())
        m_thread = std::thread([this] { Run(); });
}

StlPreload::~StlPreload()
{
    {
        std::lock_guard<std::mutex> lock(g_currentMutex);
        if (g_current == this)
            g_current = nullptr;
    }
    if (m_thread.joinable())
        m_thread.join();
}

void StlPreload::Run()
{
    // Only the first model read well comes ready to draw: the import takes it
    // as it is onto an empty plate, and places the others beside it.
    // One thread only: the toolkit starts on the other core meanwhile, and a
    // helper thread here would slow the window more than it speeds the read.
    bool prepared = false;
    for (std::size_t i = 0; i < m_paths.size(); ++i) {
        StlFileRead read = ReadStlFile(m_paths[i], false);
        if (read.ok && !prepared) {
            PrepareStlModel(read, false);
            prepared = true;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_reads[i] = std::move(read);
        m_done[i] = true;
        m_ready.notify_all();
    }
}

bool StlPreload::Take(const std::string& path, StlFileRead& read)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (std::size_t i = 0; i < m_paths.size(); ++i) {
        if (m_paths[i] != path || m_taken[i])
            continue;
        m_taken[i] = true;
        m_ready.wait(lock, [&] { return m_done[i]; });
        read = std::move(m_reads[i]);
        return true;
    }
    return false;
}

StlFileRead ReadOrTakeStlFile(const std::string& path)
{
    {
        std::lock_guard<std::mutex> lock(g_currentMutex);
        StlFileRead read;
        if (g_current != nullptr && g_current->Take(path, read))
            return read;
    }
    return ReadStlFile(path);
}

}  // namespace ZELKCAD
