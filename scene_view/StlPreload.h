// STL files read, and made ready to draw, on a thread of their own from the program's start.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LoadSTL.h"

namespace ZELKCAD {

// The model files given on the command line are read while the toolkit, the
// window and the OpenGL context start, so that the import that follows the
// first frame finds them read (and the first of them ready to draw). One at a
// time in the process: the preload registers itself while it lives. The
// thread is its own: begun by the constructor, joined by the destructor.
class StlPreload {
public:
    explicit StlPreload(std::vector<std::string> paths);
    ~StlPreload();
    StlPreload(const StlPreload&) = delete;
    StlPreload& operator=(const StlPreload&) = delete;

    // The read of `path` (as given) if it is one of this preload's files and
    // not taken yet, waiting until it is read; false otherwise.
    bool Take(const std::string& path, StlFileRead& read);

private:
    void Run();

    std::vector<std::string> m_paths;
    std::vector<StlFileRead> m_reads;
    std::vector<bool> m_done;
    std::vector<bool> m_taken;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::thread m_thread;
};

// The read of a file: taken from the preload when it holds the file, else
// read now (any thread).
StlFileRead ReadOrTakeStlFile(const std::string& path);

}  // namespace ZELKCAD
