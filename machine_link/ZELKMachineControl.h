// The one object through which the program talks to the printer. It puts
// together the parts of the machine link, each with one job: the port, the
// operation queue, the print stream, the control mode, the reply exchange,
// the lost-printer policy, the reply reader, the translator and the X3G save,
// and the worker thread that sends one package at a time.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "CPoint5D.h"
#include "LinkMode.h"
#include "LinkTranslator.h"
#include "LinkWorker.h"
#include "OperationQueue.h"
#include "Package.h"
#include "PrintStream.h"
#include "PrinterLostPolicy.h"
#include "ReplyExchange.h"
#include "ReplyReader.h"
#include "S3GFrameAssembler.h"
#include "X3gSave.h"
#include "ZELKComBase.h"
#include "ZELKGCodeParser.h"
#include "ZELKReceiveParser.h"

class ZELKFileLog;
class ZELKMachine;
class ZELKPlusCom;
class ZELKStartGCodeOperater;

// Threads: public calls come from the user-interface thread (connection,
// print control, operations) and from a print-preparation thread (translation,
// X3G, StartPrint); the worker thread sends, and reads the replies itself
// while it is busy (the port's line is taken); the port's reader thread reads
// them while the worker sleeps. Whichever reads a reply parses it and runs
// the receive callback, which must not wait for the worker or close the port.
// OpenCom and CloseCom are called from one thread at a time.
class ZELKMachineControl : public ComReceive {
public:
    // One wait for a reply, and the waits before the port restarts.
    static constexpr int kDefaultReplyTimeoutMs = zelk::ReplyExchange::kDefaultReplyTimeoutMs;
    static constexpr int kReplyWaits = zelk::ReplyExchange::kReplyWaits;
    // Between closing and reopening, and how long a vanished device may take to come back.
    static constexpr int kDefaultRestartDelayMs = zelk::PrinterLostPolicy::kDefaultRestartDelayMs;
    static constexpr int kDefaultDeviceReturnMs = zelk::PrinterLostPolicy::kDefaultDeviceReturnMs;
    // Is-finished polls, and the longest pause before a refused resend.
    static constexpr int kDefaultPollIntervalMs = zelk::PrintStream::kDefaultPollIntervalMs;

    // The line to the printer: 115,200 baud, 10 bits a byte (start, 8 data, stop).
    static constexpr int kLineBaud = 115200;
    static constexpr int kLineBitsPerByte = 10;
    // One exchange at its longest: a frame of the largest payload out, and a
    // reply frame of the largest payload back.
    static constexpr int kLongestExchangeBytes = 2 * (static_cast<int>(zelk::S3GFrameAssembler::kMaxS3GPayload) + 3);
    // The shortest reply wait the tools accept: twice the line time of the
    // longest exchange, in whole milliseconds. A shorter wait runs out while
    // a printer that took the package is still answering, and the package
    // goes out again.
    static constexpr int kMinReplyTimeoutMs =
        (2 * kLongestExchangeBytes * kLineBitsPerByte * 1000 + kLineBaud - 1) / kLineBaud;

    // Packages sent again since the port was opened, by why.
    using ResendCounts = zelk::ResendCounts;

    // Control mode: exactly one of idle or printing, plus pending query bits.
    enum ControlMode {
        kModeIdle = zelk::LinkMode::kIdle,
        kModePrinting = zelk::LinkMode::kPrinting,
        kModeExtruderQuery = zelk::LinkMode::kExtruderQuery,
        kModePlatformQuery = zelk::LinkMode::kPlatformQuery,
    };

    // The process-wide machine control, created on first call.
    static ZELKMachineControl* GetMachineControl();

    // A machine control of its own (tools, tests); null collaborators mean the
    // process-wide machine model, start G-code editor and log.
    explicit ZELKMachineControl(ZELKMachine* machine = nullptr, ZELKStartGCodeOperater* startGCode = nullptr,
                                ZELKFileLog* log = nullptr);
    ~ZELKMachineControl() override;

    ZELKMachineControl(const ZELKMachineControl&) = delete;
    ZELKMachineControl& operator=(const ZELKMachineControl&) = delete;

    // --- connection
    // Opens the port by device path and starts the worker (idle mode). The
    // port's open result; on 0, GetComOpenErrorText() says why.
    int OpenCom(std::string portName);
    // Stops the worker at once (also inside a reply wait) and closes the port.
    void CloseCom();
    int IsComOpened();
    // 1 once a reply arrived since the port was opened; 0 after CloseCom and
    // once the printer is lost.
    int GetMachineConnectedIsSucessed();
    // The firmware version the printer reported to the version query
    // (VersionQueryPackage); 0 before the first answer on this connection.
    int GetFirmwareVersion();
    std::string GetComOpenErrorText();
    PortOpenError GetComOpenError();

    // --- printing
    // Print list := the translation of the G-code file (the old list is dropped).
    void GCodeParser(const char* gcodePath);
    // A print list made elsewhere (an X3G file read back), printed as it is.
    void SetPrintList(zelk::PrintList list);
    // Translates one line into out; always 1, so out is used even for M1.
    // A position answer of the printer (query 21) sets the translator's X, Y
    // and Z to where the printer reports it stands, so that a move translated
    // after a halted one starts from the printer's real place. A and B stay:
    // the extruder travels relative to the translator's own filament count.
    int GCodeParser(const std::string& line, Package& out);

    // Translates the G-code file into the print list, then writes it as X3G.
    // Nonzero on success; on failure (also a G-code file that cannot be read
    // or holds no move) no file is left at x3gPath and GetSaveX3gError() says why.
    int SaveX3gFile(const std::string& gcodePath, const char* x3gPath);
    int SaveX3gFile(const char* x3gPath);
    // The G-code file translated straight into an X3G file, in a stream (the
    // print list is left as it is); accept, when given, may turn the
    // translated file down before anything is written.
    zelk::Outcome SaveX3gFromGCode(const std::string& gcodePath, const std::string& x3gPath,
                                   const zelk::X3gSave::Accept& accept = {});
    // How the last X3G save's translation went (flavour, left-out commands, skipped lines).
    const zelk::GCodeFileOutcome& GetLastX3gTranslation() const { return m_x3gStreamed.LastTranslation(); }
    const std::string& GetSaveX3gError() const { return m_x3g.LastError(); }

    // Read it only while no print runs.
    const zelk::PrintList& GetPrintList() const { return m_stream.List(); }
    const ZELKGCodeParser& GetTranslator() const { return m_translator.Translator(); }
    // The flavour the next translations read files as (nothing: each file's own mark).
    void SetGCodeFlavor(std::optional<zelk::gcode::GCodeFlavor> flavor) { m_translator.SetFlavor(flavor); }
    // The machine model the translator keeps its position in.
    ZELKMachine& GetMachine() { return *m_machine; }
    // The translator's current position (mm), with the printer's last
    // reported position taken over first. Any thread.
    CPoint5D GetTranslatorPosition();

    // Streams the print list from its first package (pending queries dropped).
    void StartPrint();
    // Stops streaming after the package in flight; the print index is kept.
    void SuspendPrint();
    // Continues streaming at the print index.
    void RestorationPrint();
    // While printing: back to idle, index 0, operation list emptied.
    void EndPrint();
    // What the stop picture and a disconnect do to a running print: EndPrint,
    // the extended stop ahead of everything (what waited is dropped), then Z
    // homed to its top behind it.
    void StopPrintAndHomeZ();
    int IsMachinePrinting();
    // Pauses a running print: the printer is told to pause (query 8) before
    // anything else goes out, and no print package is sent until ResumePrint.
    // The print index is kept; queries and operations are still served.
    void PausePrint();
    // Tells the printer to carry on, then streams from the package after the
    // last one it took: nothing is lost or sent twice.
    void ResumePrint();
    // Whether the user paused the print (the printer follows as soon as the
    // worker reaches it); false once the print ends.
    bool IsPrintPaused() const { return m_stream.IsPaused(); }
    // Whether the printer answered a pause that is still in force.
    bool IsPrinterPaused() const { return m_stream.IsPrinterPaused(); }
    // The next print-list package to send, and the list's size.
    int GetPrintIndex() const { return m_stream.Index(); }
    int GetPrintListSize();

    // --- single operations, served while idle
    void AddOperationPackage(const Package& package);
    void AddOperationPackage(const std::vector<Package>& packages);
    void InsertOperationPackage(const Package& package);
    void InsertOperationPackage(const std::vector<Package>& packages);
    void RemoveOperatePackList();
    std::vector<Package> GetOperatePackList();
    // Waits until the operation list is empty (every package answered and
    // taken off, or the list emptied); false after timeoutMs.
    bool WaitForOperationListEmpty(int timeoutMs);

    // --- queries and replies
    // Asks the worker to query a temperature before its next package.
    void ChangePrintType_InquireExtruderTemperature();
    void ChangePrintType_InquirePlatformTemperature();
    int GetControlMode() const { return m_mode.Get(); }
    // The temperatures last set on the printer by a package it took (0: off);
    // -1 before any was set on this connection.
    int GetExtruderTargetC() const { return m_extruderTargetC.load(); }
    int GetPlatformTargetC() const { return m_platformTargetC.load(); }
    // Called with every classified reply, before the worker hears of it: on
    // the worker's thread while it reads the line, else on the reader thread.
    // The record is the callback's own copy.
    void SetReceiveCallback(std::function<void(const RECEIVEBUF& reply)> callback);
    void SetReceiveCallback(std::nullptr_t);
    // The last classified reply (any thread).
    RECEIVEBUF GetReceiveBuf();
    int GetIsInquirePlatformTemperature();
    void SetInquirePlatformTemperature(int outstanding);

    // --- timing and the silent-printer restart
    void SetReplyTimeoutMs(int ms) { m_exchange.SetReplyTimeoutMs(ms); }
    int GetReplyTimeoutMs() const { return m_exchange.GetReplyTimeoutMs(); }
    void SetRestartDelayMs(int ms);
    // How long a half frame may wait for its remaining bytes.
    void SetFrameStallTimeoutMs(int ms);
    // Port restarts after a silent or vanished printer, and a wait for them.
    int GetPortRestartCount();
    bool WaitForPortRestarts(int count, int timeoutMs);
    // The packages sent again on this connection (any thread).
    ResendCounts GetResendCounts() const;
    // How long a device that went away may take to come back before the
    // printer counts as lost.
    void SetDeviceReturnTimeoutMs(int ms) { m_lostPolicy.SetDeviceReturnTimeoutMs(ms); }
    // The pause between is-finished queries once every package is out, and
    // the longest pause before a refused package goes out again (the first
    // resend goes at once, later ones back off up to this).
    void SetPollIntervalMs(int ms);

    // --- a printer that is lost
    // The printer is lost when a package stays unanswered through the reply
    // waits, a port restart and the reply waits again, or when its device
    // went away and did not come back within the device return timeout. The
    // worker then stops: the port is closed, the mode is idle, the operation
    // list is emptied and the print index kept, and the callback runs once on
    // the worker thread with a sentence for the user (it must not call
    // OpenCom or CloseCom; hand over to the user-interface thread). OpenCom
    // clears the state.
    void SetPrinterLostCallback(std::function<void(const std::string& reason)> callback);
    bool IsPrinterLost() const { return m_lostPolicy.IsLost(); }
    std::string GetPrinterLostReason();

    // --- fixed packages; each fills out and returns 1
    int GetIsFinishedPackage(Package& out);
    static int GetInquire_ExtrudeHeadTemperaturePackage(Package& out);
    static int GetInquire_PlatformTemperaturePackage(Package& out);
    int GetInquireMachineCoordinatePackage(Package& out);
    int GetExtrudeHeaderAbortPackage(Package& out);
    int GetEndPrintPackage(Package& out);
    // A relative extruder move: direction 1 feeds, 0 retracts, at
    // min(speed, 20) for the given seconds.
    int GetExtrudeHeaderMovePackage(int direction, float speed, int seconds, Package& out);

private:
    using Clock = std::chrono::steady_clock;

    // EndPrint without the resume of a paused printer; false when no print ran.
    bool EndStreaming();

    // The worker's round and what it sends (ZELKMachineControlWorker.cpp).
    zelk::LinkWorker::Round RunRound();
    bool SendFirstOperation();
    void SendQuery(int bit);
    void SendPrintStep();
    void SendPauseToggle();
    // True when the package is done with (answered); false when it is to be
    // sent again or the worker must stop.
    bool SendPackage(const Package& package);
    void WritePackage(const Package& package);
    void NoteTemperatureTarget(const Package& package);
    bool AfterUnansweredPackage();
    void LosePrinter(const std::string& reason);
    void StartThread();
    void EndThread();
    // Worker thread: sleeps until the deadline or a request, with the line
    // given back to the reader thread meanwhile.
    void SleepUntil(Clock::time_point deadline);
    void WakeWorker() { m_worker.Wake(); }
    void OnCommReceive(std::span<const unsigned char> frame) override;
    void OnCommHangup() override;
    void OnCommBadFrame() override;
    void Log(int line, int level, const std::string& message);

    static ZELKMachineControl* m_machineControl;

    ZELKFileLog* m_log;
    ZELKStartGCodeOperater* m_startGCode;  // null: the process-wide editor
    ZELKMachine* m_machine;
    std::unique_ptr<ZELKPlusCom> m_port;
    std::unique_ptr<zelk::PrinterLostPolicy::Port> m_portForPolicy;  // m_port as the policy sees it
    std::unique_ptr<zelk::ReplyLine> m_line;  // m_port as the worker reads its replies
    std::atomic<int> m_connected{0};
    std::atomic<int> m_extruderTargetC{-1};
    std::atomic<int> m_platformTargetC{-1};

    zelk::LinkMode m_mode;
    zelk::PrintStream m_stream;
    zelk::OperationQueue m_operations;
    zelk::LinkTranslator m_translator;
    zelk::ReplyReader m_replies;
    zelk::LinkWorker m_worker;
    zelk::ReplyExchange m_exchange;
    zelk::PrinterLostPolicy m_lostPolicy;
    zelk::X3gSave m_x3g;
    zelk::X3gSave m_x3gStreamed;
};
