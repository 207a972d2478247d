// The printer simulator served from a thread of the test, over a real
// pseudo-terminal, and a G-code print to stream to it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "Package.h"
#include "PrintList.h"
#include "SimServer.h"

namespace linktest {

class SimThread {
public:
    explicit SimThread(s3gsim::SimOptions options) : m_server(std::move(options))
    {
        m_ok = m_server.Open(&m_error);
        m_stopFd = ::eventfd(0, EFD_CLOEXEC);
        if (m_ok)
            m_thread = std::thread([this] { m_server.Run(m_stopFd); });
    }
    ~SimThread()
    {
        Stop();
        ::close(m_stopFd);
    }
    bool Ok() const { return m_ok; }
    const std::string& Error() const { return m_error; }
    const std::string& DevicePath() const { return m_server.DevicePath(); }
    const s3gsim::SimStats& Stats() const { return m_server.Stats(); }

    // Ends the simulator; its printer may be read afterwards.
    const s3gsim::SimPrinter& Stop()
    {
        if (m_thread.joinable()) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t n = ::write(m_stopFd, &one, sizeof one);
            m_thread.join();
        }
        return m_server.Printer();
    }

private:
    s3gsim::SimServer m_server;
    bool m_ok = false;
    std::string m_error;
    int m_stopFd = -1;
    std::thread m_thread;
};

// A print of moveCount moves after a short start sequence.
inline std::string PrintGCode(int moveCount)
{
    std::string g = "M104 S220 T0\nM109 S60 T0\nG92 X-75 Y-75 Z0 A0 B0\nM6 T0\nM101\n";
    char line[128];
    for (int i = 0; i < moveCount; ++i) {
        const double x = -40 + (i * 7) % 80, y = -40 + (i * 13) % 80, z = 0.2 + (i / 100) * 0.2;
        std::snprintf(line, sizeof line, "G1 X%.3f Y%.3f Z%.2f F1800.0 E%.4f\n", x, y, z, 0.05 * (i + 1));
        g += line;
    }
    g += "M103\nM18\n";
    return g;
}

// What the printer must have recorded: every package's payload, in order.
inline std::vector<unsigned char> ExpectedRecord(const zelk::PrintList& list)
{
    std::vector<unsigned char> out;
    for (const Package& p : list)
        out.insert(out.end(), p.Payload(), p.Payload() + p.PayloadSize());
    return out;
}

}  // namespace linktest
