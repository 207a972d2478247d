// The machine control's worker side: each round sends one package (an
// operation, a pause toggle, a query or the next print package) and settles
// its reply, read by the worker itself while it works and by the port's
// reader thread while it sleeps; the replies are handed on to the parts that
// wait for them; a printer that stays silent is restarted or given up.
#include <chrono>

#include "LinkLog.h"
#include "MachinePackages.h"
#include "S3GCommands.h"
#include "ZELKMachineControl.h"
#include "ZELKPlusCom.h"

using zelk::LinkWorker;
using zelk::ReplyExchange;

LinkWorker::Round ZELKMachineControl::RunRound()
{
    if (m_lostPolicy.IsLost())
        return LinkWorker::Round::Finished;
    // A refused package waits out its back-off, and so does everything else
    // (the printer said it has no room); a request or a stop has the worker
    // look again.
    const Clock::time_point notBefore = m_exchange.SendNotBefore();
    if (Clock::now() < notBefore) {
        SleepUntil(notBefore);
        return LinkWorker::Round::Worked;
    }
    const int mode = m_mode.Get();
    if (mode == kModeIdle && SendFirstOperation())
        return LinkWorker::Round::Worked;
    // A pause or resume goes ahead of the queries and the print; after a stop
    // it waits for the stop (the operations first), so that the printer drops
    // what it held before it carries on with what the stop queued.
    if (m_stream.PauseToggleDue()) {
        SendPauseToggle();
        return LinkWorker::Round::Worked;
    }
    if (mode & kModePlatformQuery) {
        SendQuery(kModePlatformQuery);
        return LinkWorker::Round::Worked;
    }
    if (mode & kModeExtruderQuery) {
        SendQuery(kModeExtruderQuery);
        return LinkWorker::Round::Worked;
    }
    if (mode == kModePrinting && !m_stream.IsPaused()) {
        SendPrintStep();
        return LinkWorker::Round::Worked;
    }
    // Asleep until a request: what the printer sends meanwhile (a late
    // reply, the device going away) is the reader thread's again.
    m_port->GiveLineBack();
    return LinkWorker::Round::Idle;
}

void ZELKMachineControl::SleepUntil(Clock::time_point deadline)
{
    m_port->GiveLineBack();
    m_worker.WaitUntil(deadline);
}

bool ZELKMachineControl::SendFirstOperation()
{
    const std::optional<zelk::OperationQueue::Entry> op = m_operations.Front();
    if (!op)
        return false;
    if (SendPackage(op->package))
        m_operations.Remove(op->id);
    return true;
}

void ZELKMachineControl::SendQuery(int bit)
{
    bool answered = false;
    if (bit == kModePlatformQuery) {
        m_replies.SetPlatformQueryOutstanding(1);
        answered = SendPackage(zelk::PlatformTemperatureQueryPackage());
    } else {
        answered = SendPackage(zelk::ExtruderTemperatureQueryPackage());
    }
    if (answered)
        m_mode.Answered(bit);
}

void ZELKMachineControl::SendPauseToggle()
{
    if (SendPackage(zelk::PausePackage()))
        Log(__LINE__, 0, m_stream.PrinterToggled() ? "Print paused" : "Print resumed");
}

void ZELKMachineControl::SendPrintStep()
{
    const zelk::PrintStream::Next next = m_stream.Peek();
    if (!next.package) {
        // Every package is out: ask until the printer reports the build
        // finished (the type 7 reply ends the print).
        const Clock::time_point notBefore = m_stream.FinishedQueryNotBefore();
        if (Clock::now() < notBefore) {
            SleepUntil(notBefore);
            return;
        }
        SendPackage(zelk::IsFinishedPackage());
        m_stream.FinishedQuerySent(Clock::now());
        return;
    }
    if (SendPackage(*next.package))
        m_stream.Took(next.index);
}

bool ZELKMachineControl::SendPackage(const Package& package)
{
    if (package.size <= 0)
        return true;  // nothing goes out, so no reply can come: acknowledged
    const ReplyExchange::Result result = m_exchange.Send(package);
    if (result.outcome == ReplyExchange::Outcome::Answered || result.outcome == ReplyExchange::Outcome::Refused)
        m_lostPolicy.NoteReply();
    if (result.outcome == ReplyExchange::Outcome::Answered)
        NoteTemperatureTarget(package);
    switch (result.next) {
    case ReplyExchange::Next::Done:
        return true;
    case ReplyExchange::Next::PrinterSilent:
        return AfterUnansweredPackage();
    case ReplyExchange::Next::SendAgain:
    case ReplyExchange::Next::Stop:
        break;
    }
    return false;
}

void ZELKMachineControl::WritePackage(const Package& package)
{
    // Any 6-byte answer to the version query is the firmware version, not a temperature.
    m_replies.ExpectVersion(package.Payload()[0] == zelk::s3g::kQueryVersion);
    m_port->SendData(package.data, package.size);
}

void ZELKMachineControl::NoteTemperatureTarget(const Package& package)
{
    zelk::Heater heater;
    int celsius = 0;
    if (!zelk::ReadTemperatureTarget(package, heater, celsius))
        return;
    (heater == zelk::Heater::Extruder ? m_extruderTargetC : m_platformTargetC) = celsius;
}

// No usable reply through every wait, or the device went away: the port is
// restarted once and the package sent again; unanswered after that, or with
// a device that does not come back, the printer is lost.
bool ZELKMachineControl::AfterUnansweredPackage()
{
    const zelk::Outcome restarted = m_lostPolicy.AfterSilence();
    if (!restarted)
        LosePrinter(restarted.reason);
    else
        m_exchange.ForgetHangup();  // what the old connection left behind answers nothing
    return false;
}

void ZELKMachineControl::LosePrinter(const std::string& reason)
{
    Log(__LINE__, 2, "Printer lost: " + reason);
    m_mode.SetIdle();
    m_stream.Resume();
    RemoveOperatePackList();
    m_port->Close();
    m_connected = 0;
    m_lostPolicy.ReportLost(reason);  // ends the worker's rounds
}

void ZELKMachineControl::StartThread()
{
    EndThread();
    m_exchange.Reset();
    m_lostPolicy.ResetRestarts();
    m_stream.ResetPolls();
    m_worker.Begin();
}

void ZELKMachineControl::EndThread()
{
    if (!m_worker.IsRunning())
        return;
    m_worker.RequestStop();
    m_exchange.WakeForStop();
    m_lostPolicy.WakeForStop();
    m_worker.Join();
    m_port->GiveLineBack();  // the reader thread reads what still comes
}

void ZELKMachineControl::OnCommReceive(std::span<const unsigned char> frame)
{
    const zelk::ReplyReader::Reading reading = m_replies.Read(frame);
    if (!reading.known)
        return;  // it answers nothing: the package in flight keeps waiting for its own reply
    if (reading.record.type == zelk::kReplyBuildFinished)
        m_mode.FinishBuild();
    // Before the callback and the worker's wake: whoever sees the answer
    // also sees the translator's position.
    if (reading.position)
        m_translator.TakeReportedPosition(reading.positionSteps);
    m_replies.Deliver(reading.record);
    // Connected before the worker wakes: whoever sees the next package sent
    // also sees the flag.
    m_connected = 1;
    m_exchange.OnReply(reading.record.type == zelk::kReplyRefused);
}

void ZELKMachineControl::OnCommBadFrame()
{
    // A reply came but cannot be read: the worker decides now instead of
    // waiting out its reply timeouts for a reply that has already come.
    m_exchange.OnUnreadableReply();
}

void ZELKMachineControl::OnCommHangup()
{
    // The device went away: no reply can come, so the worker restarts the
    // port now instead of waiting out its reply timeouts.
    m_exchange.OnHangup();
}

void ZELKMachineControl::Log(int line, int level, const std::string& message)
{
    zelk::WriteLinkLog(m_log, line, level, message);
}
