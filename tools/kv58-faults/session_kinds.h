// The parts of a session of the fault campaign: the application started on a fresh simulated
// transmitter, the command of the session's kind run with the plan's faults, and, where the
// transmitter was left damaged, the read of the next program and the way back run.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "base/clock.h"
#include "core/main_dialog.h"
#include "fault_plan.h"
#include "headless_app.h"
#include "invariants.h"
#include "sim/sim_device.h"

namespace kv58::faults {

// The transmitter's flash as the invariants compare it.
DeviceImage imageOf(sim::SimDevice& device);
DeviceImage imageOf(const sim::Msp430Memory& memory);

class SessionContext {
public:
    SessionContext(const FaultPlan& plan, const headless::WorkFolder& folder);

    // Settings, the transmitter's damage from before the session, and the application's
    // start-up read. False with the reason when that read failed.
    bool start(std::string& error);

    // The session's command with the plan's faults armed; fills what it claimed and meant.
    // When a swap put another transmitter on the line, that one as it came is the one
    // whose "before" and "target" count: the first is gone, and nothing was meant for the
    // other.
    void runCommand(SessionFacts& facts);
    // After a kill: the next program's read (faults gone), and its way back.
    void nextRead(SessionFacts& facts);
    // Runs the way back the command or the next read named, as a new program would, with
    // the faults gone, and notes what it left.
    void runWayBack(SessionFacts& facts);

    sim::SimDevice& device() { return *device_; }
    MainDialog& dialog() { return *dialog_; }
    headless::QuietUi& ui() { return ui_; }
    VirtualClock& clock() { return clock_; }

private:
    void runWrite(SessionFacts& facts);
    void runRestore(SessionFacts& facts);
    void runProgram(SessionFacts& facts);
    std::string programImage() const;
    std::optional<WayBack> wayBackOf(const SessionFacts& facts) const;
    bool armFaults(std::string& error);
    // A fresh application on the same transmitter, as the next program run.
    std::unique_ptr<MainDialog> nextProgram(headless::QuietUi& ui, headless::QueueView& view);

    const FaultPlan& plan_;
    const headless::WorkFolder& folder_;
    std::string port_;
    std::string ini_;
    VirtualClock clock_;
    headless::QuietUi ui_;
    headless::QueueView view_;
    std::unique_ptr<MainDialog> dialog_;
    std::shared_ptr<sim::SimDevice> device_;
    SegmentData factorySegmentA_{};     // before a plan erased it
    std::optional<WayBack> announced_;  // printed before a programming run
};

}  // namespace kv58::faults
