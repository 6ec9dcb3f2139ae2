#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/core/LineFaults.h"

// The simulated printer, independent of any transport: bytes the host writes
// go in through Receive, the printer's answers come out through TakeOutput.
// Transports (TCP, serial, emulated USB) only move bytes.
//
// Requests are recognised by their leading bytes through a table of request
// handlers; the identification requests are built in, and further protocol
// requests plug in with AddRequestHandler.
class PrinterCore {
  public:
    // Given the pending bytes (starting with the handler's prefix), appends the
    // answer and returns how many bytes the request took; 0 while the request
    // is not complete yet. Handlers run with the core locked: they must not
    // call the core's own methods.
    using RequestHandler =
        std::function<size_t(const uint8_t* data, size_t length, std::vector<uint8_t>& answer)>;

    // Fault switches.
    struct Faults {
        bool silent = false;   // answers nothing
        bool garbage = false;  // every answer byte replaced by 0xA5
        int delayMs = 0;       // answers become available this late
        // The connection is to be dropped once this many more bytes have
        // arrived (0: never); fires once.
        size_t closeAfterBytes = 0;
    };

    // Name given to bytes that match no request.
    static constexpr const char* UNKNOWN = "UNKNOWN";

    // Bytes that match no request go to this handler first (data that comes
    // without a request of its own, such as a module file). It is told the
    // name of the last request recognised; it returns what a request
    // handler returns, or NOT_MINE to leave the bytes unknown.
    using UnmatchedHandler =
        std::function<size_t(const std::string& lastRequest, const uint8_t* data, size_t length,
                             std::vector<uint8_t>& answer)>;
    static constexpr size_t NOT_MINE = static_cast<size_t>(-1);

    PrinterCore();

    // Bytes written by the host; answers are queued for TakeOutput.
    void Receive(const uint8_t* data, size_t length);
    // Moves up to max queued answer bytes into out; returns how many.
    size_t TakeOutput(uint8_t* out, size_t max);
    bool HasOutput() const;
    // Queues an answer that no request of this moment asked for: one held
    // back until something else had happened (the bus had changed).
    void Answer(std::vector<uint8_t> answer);
    // Drops the answers not yet taken (a connection that went away takes
    // them with it).
    void DiscardOutput();

    // Everything received so far, in order (for tests).
    std::vector<uint8_t> Received() const;
    // The name of every request recognised so far, in order.
    std::vector<std::string> Requests() const;
    size_t CountRequests(const std::string& name) const;

    // Identification: a one-byte word (answer to 1D 49 01), or an extended
    // one (0xFF, then the two bytes of the word to 1D 49 FF).
    void SetIdentification(uint8_t gsi);
    void SetExtendedIdentification(uint16_t word);
    void SetFirmwareRelease(const std::string& release);
    bool InEscPosForSv() const;

    void SetFaults(const Faults& faults);
    // Byte faults of the line; devices on one cable share them.
    void SetLineFaults(std::shared_ptr<LineFaults> faults);
    std::shared_ptr<LineFaults> GetLineFaults() const;
    // True once when the close-after-bytes switch has fired.
    bool TakeCloseRequest();

    // A longer prefix wins over a shorter one; a prefix added again replaces
    // the earlier handler.
    void AddRequestHandler(const std::vector<uint8_t>& prefix, const std::string& name,
                           RequestHandler handler);
    // A handler that, while active() holds, takes the incoming bytes before
    // the request table does (a download in progress, a printer restarting).
    // active() runs with the core locked too.
    void AddStreamHandler(const std::string& name, std::function<bool()> active,
                          RequestHandler handler);
    // Answers to the requests of this name become available ms late (a tool
    // that takes its time), on top of the delay fault.
    void SetAnswerDelay(const std::string& name, int ms);
    // True while an answer waits for its time: the transport must look again.
    bool HasLateAnswers() const;

    void SetUnmatchedHandler(const std::string& name, UnmatchedHandler handler);

    // Printer restart (after a firmware download). The three requests may be
    // made from a handler. A restart begins graceMs later (answers already
    // queued get that long to leave): the answers not taken are dropped, the
    // host's connection goes, and for awayMs (-1: for ever) the printer hears
    // nothing; it then comes back with the given firmware release (empty:
    // unchanged) and out of the ESC/POS-for-SV mode.
    void RequestRestart(int graceMs, int awayMs, const std::string& release);
    // The connection is to be dropped (as the close-after-bytes switch does).
    void RequestClose();
    // The printer hangs: it never answers again.
    void RequestSilence();
    // True once when a restart has begun: the transport drops the host.
    bool TakeRestartBegin();
    // True while a restart is due or under way (a transport waiting for it
    // must look again soon).
    bool RestartPending();
    // True while the printer is away.
    bool Restarting();
    std::string FirmwareRelease();

  private:
    using Clock = std::chrono::steady_clock;

    struct Entry {
        std::vector<uint8_t> prefix;
        std::string name;
        RequestHandler handler;
    };
    struct Stream {
        std::string name;
        std::function<bool()> active;
        RequestHandler handler;
    };
    struct Chunk {
        Clock::time_point readyAt;
        std::vector<uint8_t> bytes;
    };

    void AddBuiltInHandlers();
    // Handles as many complete requests of pending_ as there are.
    void Dispatch();
    // Runs the first active stream handler; false while it waits for bytes,
    // and in taken whether one was active.
    bool DispatchStream(bool& taken);
    void QueueAnswer(std::vector<uint8_t> answer, int extraDelayMs = 0);
    // The line's faults on what leaves: out holds count bytes; returns how many remain.
    size_t PassOutLocked(uint8_t* out, size_t count);
    // Moves a requested restart into its states as time passes.
    void UpdateRestartLocked(Clock::time_point now);
    bool ReadyLocked(Clock::time_point now) const;

    mutable std::mutex mutex_;
    std::vector<uint8_t> received_;
    std::deque<uint8_t> output_;

    std::vector<uint8_t> pending_;
    std::vector<Entry> handlers_;
    std::vector<Stream> streams_;
    std::vector<std::pair<std::string, int>> answerDelays_;
    std::vector<std::string> requests_;
    std::deque<Chunk> delayed_;
    Faults faults_;
    std::shared_ptr<LineFaults> lineFaults_;
    Clock::time_point stallUntil_{};     // answers wait until then (a stall of what comes in)
    Clock::time_point outStallUntil_{};  // nothing leaves until then (a stall of what goes out)
    size_t bytesSinceFaults_ = 0;
    bool closeRequested_ = false;

    uint8_t gsi_ = 0x12;
    bool extended_ = false;
    uint16_t extendedWord_ = 0;
    std::string firmwareRelease_ = "1.00";
    bool escPosForSv_ = false;

    std::string unmatchedName_;
    UnmatchedHandler unmatched_;
    std::string lastRequest_;

    struct Restart {
        Clock::time_point beginAt;
        Clock::time_point backAt;
        bool forever = false;
        std::string release;
    };
    // Requests from handlers land here (signalMutex_, taken after mutex_).
    mutable std::mutex signalMutex_;
    bool restartRequested_ = false;
    Restart requested_;
    std::atomic<bool> closeSignal_{false};
    std::atomic<bool> hung_{false};
    // The restart in progress (mutex_).
    bool restartDue_ = false;
    bool away_ = false;
    bool beginSignal_ = false;
    Restart restart_;
};
