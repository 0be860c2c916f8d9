#include "session_kinds.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "base/text.h"
#include "bsl/link_trace.h"
#include "bsl/programming.h"
#include "bsl/titxt.h"
#include "core/dialog_ids.h"
#include "device/backup.h"
#include "device/backup_reader.h"
#include "device/backup_restore.h"
#include "device/calibration_guard.h"
#include "sim/msp430_memory.h"
#include "sim/shipped_images.h"
#include "sim/sim_port.h"
#include "sim/transmitter_contents.h"

namespace kv58::faults {

namespace {

constexpr const char* kBackupFolder = "backup";
constexpr const char* kImageFile = "image.txt";

// The faults that follow the host's bytes: silence for a stretch, loss of power, the end of
// the program (from then on nothing it sends reaches the transmitter, nor anything back).
class ByteTrigger final : public TraceObserver {
public:
    ByteTrigger(sim::SimDevice& device, const FaultPlan& plan) : device_(device), plan_(plan) {}

    void onTrace(const TraceEvent& event) override {
        if (event.kind != TraceEvent::Kind::Sent)
            return;
        ++sent_;
        if (plan_.silentFrom && sent_ == *plan_.silentFrom)
            device_.faults().setSilent(true);
        if (plan_.silentUntil && sent_ == *plan_.silentUntil)
            device_.faults().setSilent(false);
        if (plan_.powerOffAt && sent_ == *plan_.powerOffAt)
            device_.losePower();
        if (plan_.killAt && sent_ == *plan_.killAt)
            device_.faults().setLossRate(1.0);
    }

private:
    sim::SimDevice& device_;
    const FaultPlan& plan_;
    uint64_t sent_ = 0;
};

std::string simName(const FaultPlan& plan) {
    return strprintf("sim:s%016llx?serial=%s&loader=%s&seed=%llu&%s",
                     static_cast<unsigned long long>(plan.seed), plan.serial.c_str(),
                     plan.loader.c_str(), static_cast<unsigned long long>(plan.seed & 0xFFFFFFFF),
                     plan.loaderOptions().c_str());
}

void chooseConfiguration(MainDialog& dialog, const FaultPlan& plan) {
    ListControl& outputs = dialog.model().list(ids::kOutputList);
    if (outputs.count() > 0)
        outputs.setSelected(plan.outputChoice % outputs.count());
    dialog.model().setControlText(ids::kTMinEdit, std::to_string(plan.tMin));
    dialog.model().setControlText(ids::kTMaxEdit, std::to_string(plan.tMax));
}

// The entry a restore session puts back: the transmitter's own information memory with
// another output signal (and, with Segment B, one calibration word changed, or an erased
// Segment B where the plan says so).
// A transmitter whose Segment A is erased gets its own back, known by its Segment B.
BackupEntry restoreEntry(const DeviceImage& now, const SegmentData& factoryA,
                         const FaultPlan& plan) {
    SegmentData a = factoryA;
    if (!plan.erasedSegmentA)
        a[segment_a::kBitMaske] ^= 0x10;
    SegmentData b = now.segmentB;
    if (plan.erasedSegmentBEntry)
        b.fill(0xFF);
    else if (plan.withSegmentB && !plan.erasedSegmentA)
        b[0] ^= 0x01;
    std::tm when{};
    when.tm_year = 126, when.tm_mday = 1;
    return parseBackupText(formatBackupEntry(when, a, b)).at(0);
}

// An image no run may program, in the three ways users have written them.
std::string oddImageText(const std::string& kind) {
    std::string values;
    for (int line = 0; line < 3; ++line)
        values += "00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF \r\n";
    if (kind == "hex-prefix")
        return "@0x1100\r\n" + values + "q\r\n";
    if (kind == "wrap")
        return "@FFF0\r\n" + values + "q\r\n";
    return "@0200\r\n" + values + "q\r\n";
}

}  // namespace

DeviceImage imageOf(sim::SimDevice& device) {
    return imageOf(device.memory());
}

DeviceImage imageOf(const sim::Msp430Memory& memory) {
    DeviceImage image;
    for (size_t i = 0; i < kSegmentSize; ++i) {
        image.segmentA[i] = memory.read(static_cast<uint16_t>(kSegmentAAddress + i));
        image.segmentB[i] = memory.read(static_cast<uint16_t>(kSegmentBAddress + i));
    }
    for (uint32_t a = sim::kMainStart; a <= sim::kMainEnd; ++a)
        image.flash.push_back(memory.read(static_cast<uint16_t>(a)));
    return image;
}

SessionContext::SessionContext(const FaultPlan& plan, const headless::WorkFolder& folder)
    : plan_(plan), folder_(folder), port_(simName(plan)) {}

bool SessionContext::start(std::string& error) {
    ini_ = folder_.writeSettings(port_, plan_.baud,
                                 strprintf("MaxWriteCnt=%d\r\nSaveData=Ja\r\nSavePath=.\\%s\r\n",
                                           plan_.maxWriteCnt, kBackupFolder));
    if (!(device_ = sim::deviceFor(port_, error)))
        return false;
    factorySegmentA_ = imageOf(*device_).segmentA;
    if (plan_.erasedSegmentA)
        device_->memory().eraseSegment(kSegmentAAddress);
    dialog_ = std::make_unique<MainDialog>(ui_, view_, clock_);
    // The link's data-change warning for old loaders would go to standard output, which
    // holds the campaign's report.
    dialog_->link().transport().setWarningSink([](const std::string&) {});
    if (dialog_->OnInitDialogWithIni(ini_))
        return true;
    for (const headless::Shown& m : ui_.messages)
        error += " " + cp1252ToUtf8(m.text);
    return false;
}

bool SessionContext::armFaults(std::string& error) {
    for (const std::string& item : plan_.items) {
        if (!device_->faults().arm(item, error))
            return false;
    }
    if (plan_.patchMissing)
        std::filesystem::remove(folder_.file(sim::kPatchFileName));
    return true;
}

void SessionContext::runCommand(SessionFacts& facts) {
    facts.kind = plan_.kind;
    facts.erasedSegmentAAtStart = plan_.erasedSegmentA;
    facts.mustRefuse = plan_.patchMissing || plan_.erasedSegmentBEntry || !plan_.oddImage.empty();
    facts.target = facts.before;
    if (plan_.kind == SessionKind::Write)
        chooseConfiguration(*dialog_, plan_);
    std::string error;
    if (!armFaults(error))
        throw std::runtime_error("set-up: " + error);
    ByteTrigger trigger(*device_, plan_);
    dialog_->link().addTraceObserver(&trigger);
    ui_.clear();
    const int64_t start = clock_.nowUs();
    switch (plan_.kind) {
        case SessionKind::Write:
            runWrite(facts);
            break;
        case SessionKind::Restore:
            runRestore(facts);
            break;
        case SessionKind::Program:
            runProgram(facts);
            break;
    }
    facts.virtualUs = clock_.nowUs() - start;
    dialog_->link().removeTraceObserver(&trigger);
    device_->faults().clear();
    facts.killed = plan_.killAt.has_value();
    if (facts.killed)
        facts.claim.reset();  // a killed program says nothing more
    // The transmitter now on the line is the one a swap put there, as it came from its
    // factory: nothing was meant for it.
    if (const auto& other = device_->swappedIn()) {
        sim::Msp430Memory memory;
        sim::installTransmitter(memory, *other);
        facts.before = facts.target = imageOf(memory);
    }
}

void SessionContext::runWrite(SessionFacts& facts) {
    dialog_->onCommand(ids::kWriteNow);
    facts.outcome = dialog_->flows().lastWriteOutcome();
    facts.writeImage = dialog_->data().segmentAWrite;
    facts.target.segmentA = facts.writeImage;
    facts.claim = dialog_->flows().lastOutcome();
    facts.refusedBeforeAnything = facts.outcome == WriteOutcome::DamagedRefused;
}

void SessionContext::runRestore(SessionFacts& facts) {
    const BackupEntry entry = restoreEntry(facts.before, factorySegmentA_, plan_);
    facts.target.segmentA = entry.segmentA;
    if (plan_.withSegmentB)
        facts.target.segmentB = entry.segmentB;
    BackupRestore restorer(dialog_->settings(), dialog_->link(), ui_, dialog_->run(),
                           dialog_->data(), dialog_->flows());
    const RestoreReport report = restorer.restore(
        entry, {.withSegmentB = plan_.withSegmentB, .matchSegmentB = plan_.erasedSegmentA});
    facts.claim = report.left;
    facts.refusedBeforeAnything = report.outcome == RestoreOutcome::ErasedSegmentB ||
                                  report.outcome == RestoreOutcome::EntryRefused;
}

// The image of a programming run: the transmitter's own flash, every line that is not
// erased (so that the run puts back exactly what is there), or an odd one.
std::string SessionContext::programImage() const {
    if (!plan_.oddImage.empty())
        return oddImageText(plan_.oddImage);
    std::vector<TiTxtSection> sections;
    const sim::Msp430Memory& memory = device_->memory();
    for (uint32_t line = kSegmentBAddress; line < 0x10000; line += 16) {
        std::vector<uint8_t> bytes;
        for (uint32_t i = 0; i < 16; ++i)
            bytes.push_back(memory.read(static_cast<uint16_t>(line + i)));
        if (std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0xFF; }))
            continue;
        if (!sections.empty() && sections.back().address + sections.back().bytes.size() == line &&
            sections.back().bytes.size() < 4096) {
            sections.back().bytes.insert(sections.back().bytes.end(), bytes.begin(), bytes.end());
        } else {
            sections.push_back({static_cast<uint16_t>(line), bytes});
        }
    }
    return formatTiTxt(sections, true);
}

void SessionContext::runProgram(SessionFacts& facts) {
    if (!headless::writeBytes(folder_.file(kImageFile), programImage()))
        throw std::runtime_error("cannot write the image");
    BslLink& link = dialog_->link();
    const uint64_t flashCommands = link.flashCommandsSent();
    // As kv58ctl program prints it before the run: the image puts the transmitter back.
    WayBack image;
    image.kind = WayBack::Kind::ProgramFile;
    image.file = kImageFile;
    announced_ = image;
    Outcome left;
    if (runProgramming(link, ProgrammingMode::FullRun, kImageFile,
                       sameCalibration(dialog_->settings().passwordFileNames(), kImageFile))) {
        left.state = TransmitterState::Confirmed;
    } else if (link.flashCommandsSent() == flashCommands) {
        left.state = TransmitterState::Unchanged;
    } else {
        left.state = TransmitterState::Unknown;
        left.wayBack = image;
    }
    facts.claim = left;
    facts.failureReported = needsWayBack(left.state);
}

std::unique_ptr<MainDialog> SessionContext::nextProgram(headless::QuietUi& ui,
                                                        headless::QueueView& view) {
    auto next = std::make_unique<MainDialog>(ui, view, clock_);
    next->link().transport().setWarningSink([](const std::string&) {});
    static_cast<void>(next->OnInitDialogWithIni(ini_));
    return next;
}

void SessionContext::nextRead(SessionFacts& facts) {
    headless::QuietUi ui;
    headless::QueueView view;
    const std::unique_ptr<MainDialog> next = nextProgram(ui, view);
    facts.nextReadDamage = next->flows().lastReadDamage();
}

// The way back a user has: what the command said, or after a kill what the next read said,
// or else what the command printed before it began.
std::optional<WayBack> SessionContext::wayBackOf(const SessionFacts& facts) const {
    const std::optional<Outcome>& said = facts.killed ? facts.nextReadDamage : facts.claim;
    if (said && needsWayBack(said->state) && said->wayBack.kind != WayBack::Kind::None)
        return said->wayBack;
    if (facts.killed)
        return announced_;
    return std::nullopt;
}

void SessionContext::runWayBack(SessionFacts& facts) {
    const std::optional<WayBack> found = wayBackOf(facts);
    if (!found)
        return;
    facts.wayBack = found;
    const WayBack& way = *found;
    headless::QuietUi ui;
    headless::QueueView view;
    const std::unique_ptr<MainDialog> next = nextProgram(ui, view);
    if (way.kind == WayBack::Kind::ProgramFile) {
        // As kv58ctl program does it: never another transmitter's calibration.
        BslLink& link = next->link();
        link.setWaits(next->settings().WaitPrg, next->settings().WaitSeg);
        static_cast<void>(
            runProgramming(link, ProgrammingMode::FullRun, way.file,
                           sameCalibration(next->settings().passwordFileNames(), way.file)));
    } else {
        std::vector<BackupEntry> entries;
        std::string error;
        if (!readBackupFile(way.file, entries, error) || way.entry < 1 ||
            way.entry > static_cast<int>(entries.size())) {
            return;
        }
        BackupRestore restorer(next->settings(), next->link(), ui, next->run(), next->data(),
                               next->flows());
        static_cast<void>(restorer.restore(
            entries[static_cast<size_t>(way.entry - 1)],
            {.withSegmentB = way.withSegmentB, .matchSegmentB = way.matchSegmentB}));
    }
    facts.afterWayBack = imageOf(*device_);
}

}  // namespace kv58::faults
