// The printer's reply frames, read by the line's reader (the port's reader
// thread, or the worker while it reads the line itself): classified
// into the reply record, logged when unknown or when they name a new
// firmware, and handed by value to the receive callback.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>

#include "ZELKReceiveParser.h"

class ZELKFileLog;

namespace zelk {

class ReplyReader {
public:
    // What one frame said.
    struct Reading {
        bool known = false;  // false: no reply this host knows; it answers nothing
        RECEIVEBUF record;   // the record after the frame
        bool position = false;
        std::int32_t positionSteps[5] = {};  // X, Y, Z, A, B of a position answer
    };

    // zStepsPerMM: motor Z of the machine model. log null: the process-wide log.
    ReplyReader(double zStepsPerMM, ZELKFileLog* log);

    ReplyReader(const ReplyReader&) = delete;
    ReplyReader& operator=(const ReplyReader&) = delete;

    // --- the line's reader
    Reading Read(std::span<const unsigned char> frame);
    // Runs the receive callback with the record.
    void Deliver(const RECEIVEBUF& record);

    // --- any thread
    void SetCallback(std::function<void(const RECEIVEBUF& reply)> callback);
    RECEIVEBUF Record() const;
    // The version of the last version answer; 0 before the first.
    int FirmwareVersion() const;
    // What a 6-byte answer means depends on what was asked: the version while
    // the version query is in flight, the platform's temperature while a
    // platform query is outstanding (its answer clears it).
    void ExpectVersion(bool inFlight) { m_versionQuery = inFlight ? 1 : 0; }
    void SetPlatformQueryOutstanding(int outstanding) { m_platformQuery = outstanding; }
    int PlatformQueryOutstanding() const { return m_platformQuery.load(); }
    // A new connection, with the reader not running: nothing outstanding,
    // and the firmware version is logged again.
    void NewConnection();

private:
    void Log(int level, const std::string& message);

    ZELKFileLog* m_log;
    std::atomic<int> m_platformQuery{0};
    std::atomic<int> m_versionQuery{0};
    int m_loggedVersion = 0;  // the line's reader only
    mutable std::mutex m_mutex;  // the parser's record, and the callback
    ZELKReceiveParser m_parser;
    // Shared, so that a reply takes the callback without copying it.
    std::shared_ptr<const std::function<void(const RECEIVEBUF&)>> m_callback;
};

}  // namespace zelk
