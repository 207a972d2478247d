// The printer connection: opening the port, asking the printer for its version
// until it answers, polling its extruder temperature once it has, closing the
// port after a stop has gone out, and what follows when the machine link gives
// the printer up. The connection panel's timers drive it; it holds no window.
#pragma once

#include <functional>
#include <string>

#include "Outcome.h"
#include "RunState.h"
#include "ZELKComBase.h"

class ZELKMachineControl;

namespace zelk {

class PrinterConnection {
public:
    enum class State { kClosed, kWaitingForPrinter, kConnected, kClosing };

    // The poll periods the panel's timers keep: the version query while
    // waiting, the temperature once connected.
    static constexpr int kReplyPollMs = 1000;
    static constexpr int kTemperaturePollMs = 800;
    // What a disconnect leaves the worker to send the stop before the port closes.
    static constexpr int kCloseDelayMs = 500;

    PrinterConnection(ZELKMachineControl& control, RunState& state);
    // The program's one, over its machine control and run state.
    static PrinterConnection& Program();

    // Opens `device` and asks for the printer. Refused with the message that
    // says why the port cannot be opened (missing, busy, no permission).
    Outcome Open(const std::string& device);
    // One reply poll while waiting: true when the printer answered (the
    // connection is made now); otherwise the version is asked again.
    bool PollForPrinter();
    // One temperature poll.
    void PollTemperature();
    // Begins closing: a running print ends (stop, Z home, heaters off) and the port
    // closes after kCloseDelayMs (FinishClose). False when no port is open or
    // it is closing already. Also while no printer answered yet: the user must
    // be able to stop the queries to a port where nothing answers.
    // `endedPrint`: whether a print was running.
    bool BeginClose(bool* endedPrint = nullptr);
    void FinishClose();
    // The machine link gave the printer up: the port closes and nothing is
    // left queued. True when a print was running then.
    bool Lose();

    bool IsConnected() const;
    State GetState() const { return m_state; }

    // The translation key that says why a port could not be opened.
    static const char* OpenFailureKey(PortOpenError error);

private:
    ZELKMachineControl& m_control;
    RunState& m_run;
    State m_state = State::kClosed;
};

}  // namespace zelk
