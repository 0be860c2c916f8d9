#include "sim/sim_port.h"

#include <algorithm>
#include <cctype>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>

#include "base/text.h"

namespace kv58::sim {

namespace {

constexpr const char* kPrefix = "sim:";

class SimPort final : public SerialPort {
public:
    SimPort(std::shared_ptr<SimDevice> device, Clock& clock)
        : device_(std::move(device)),
          clock_(clock),
          offset_(std::max<int64_t>(0, device_->latestTime() - clock.nowUs())) {
        device_->setHostLine(LineSettings{});
        device_->setLines(dtr_, rts_, now());
    }
    ~SimPort() override { close(); }

    bool configure(const LineSettings& settings, std::string& error) override {
        if (settings.baud == 0 || settings.dataBits < 5 || settings.dataBits > 8) {
            error = "line settings " + describe(settings) + " cannot be set";
            return false;
        }
        pump();
        device_->setHostLine(settings);
        return true;
    }

    bool setDtr(bool on) override { return setLines(on, rts_); }
    bool setRts(bool on) override { return setLines(dtr_, on); }

    size_t inputQueued() override {
        pump();
        return input_.size();
    }
    size_t outputQueued() override {
        pump();
        return open_ ? device_->hostBytesInFlight() : 0;
    }

    void purge(bool input, bool output, bool /*abort*/) override {
        pump();
        if (input)
            input_.clear();
        // A byte already being shifted out finishes; the queued ones are dropped.
        if (output && open_)
            device_->discardUnsentHostBytes(now());
    }

    bool writeByte(uint8_t byte) override {
        if (!open_)
            return false;
        device_->hostSend(byte, now());
        return true;
    }

    size_t read(uint8_t* destination, size_t max) override {
        pump();
        const size_t n = std::min(max, input_.size());
        std::copy_n(input_.begin(), n, destination);
        input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(n));
        return n;
    }

    size_t waitForInput(size_t count, int64_t timeoutMs) override;

    bool close() override {
        if (!open_)
            return true;
        pump();
        device_->setLines(false, false, now());
        device_->clearWire(now());
        device_->release();
        open_ = false;
        return true;
    }

private:
    int64_t now() const { return clock_.nowUs() + offset_; }

    // Everything the device did up to now; replies that have arrived join the input queue.
    void pump() {
        if (!open_)
            return;
        const int64_t t = now();
        device_->advanceTo(t);
        device_->collectReplies(t, input_);
    }

    bool setLines(bool dtr, bool rts) {
        if (!open_)
            return false;
        dtr_ = dtr;
        rts_ = rts;
        device_->setLines(dtr_, rts_, now());
        return true;
    }

    std::shared_ptr<SimDevice> device_;
    Clock& clock_;
    int64_t offset_;  // device time = clock time + offset (a fresh clock may start behind)
    std::deque<uint8_t> input_;
    bool dtr_ = true, rts_ = true;
    bool open_ = true;
};

size_t SimPort::waitForInput(size_t count, int64_t timeoutMs) {
    pump();
    if (!open_ || input_.size() >= count)
        return input_.size();
    const int64_t deadline = now() + std::max<int64_t>(0, timeoutMs) * 1000;
    // The host is blocked in this call until it returns, so the device may run ahead to the
    // moment the awaited byte arrives: nothing the host does can change that future.
    std::optional<int64_t> arrival;
    while (!(arrival = device_->replyArrival(count - input_.size()))) {
        const auto next = device_->nextDeviceArrival();
        if (!next || *next > deadline)
            break;
        device_->advanceTo(*next);
    }
    clock_.sleepUntilUs((arrival ? std::min(*arrival, deadline) : deadline) - offset_);
    pump();
    return input_.size();
}

std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}

StateFilePlacer& statePlacer() {
    static StateFilePlacer placer;
    return placer;
}

std::map<std::string, std::shared_ptr<SimDevice>>& registry() {
    static std::map<std::string, std::shared_ptr<SimDevice>> devices;
    return devices;
}

bool isLabelChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.';
}

bool percentDecode(const std::string& text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const int high = i + 2 < text.size() ? hexDigitValue(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? hexDigitValue(text[i + 2]) : -1;
        if (high < 0 || low < 0)
            return false;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

bool parseQuery(const std::string& query, DeviceOptions& options, std::string& error) {
    size_t start = 0;
    while (start <= query.size()) {
        const size_t amp = std::min(query.find('&', start), query.size());
        const std::string pair = query.substr(start, amp - start);
        start = amp + 1;
        if (pair.empty())
            continue;
        const size_t eq = pair.find('=');
        std::string key, value;
        if (eq == std::string::npos || !percentDecode(pair.substr(0, eq), key) ||
            !percentDecode(pair.substr(eq + 1), value)) {
            error = "'" + pair + "' is not key=value (accepted keys: " + deviceOptionNames() + ")";
            return false;
        }
        if (!setDeviceOption(options, key, value, error))
            return false;
    }
    return true;
}

}  // namespace

bool parseSimName(const std::string& name, DeviceOptions& options, std::string& error) {
    const auto fail = [&](const std::string& why) {
        error = name + ": " + why;
        return false;
    };
    if (name.rfind(kPrefix, 0) != 0)
        return fail("not a sim: name");
    const size_t question = name.find('?');
    const std::string label =
        name.substr(4, question == std::string::npos ? std::string::npos : question - 4);
    if (!std::all_of(label.begin(), label.end(), isLabelChar)) {
        return fail("expected sim:[NAME][?key=value&...], NAME of letters, digits, - _ .");
    }
    std::string why;
    if (question != std::string::npos && !parseQuery(name.substr(question + 1), options, why)) {
        return fail(why);
    }
    if (!finishDeviceOptions(options, why))
        return fail(why);
    return true;
}

std::shared_ptr<SimDevice> deviceFor(const std::string& name, std::string& error) {
    std::lock_guard lock(registryMutex());
    auto& devices = registry();
    if (const auto it = devices.find(name); it != devices.end())
        return it->second;
    DeviceOptions options;
    if (!parseSimName(name, options, error))
        return nullptr;
    if (!options.statePath.empty()) {
        if (statePlacer() && std::filesystem::path(options.statePath).is_relative())
            options.statePath = statePlacer()(options.statePath);
        std::error_code ec;
        const auto absolute = std::filesystem::absolute(options.statePath, ec);
        if (!ec)
            options.statePath = absolute.string();
    }
    std::string why;
    std::shared_ptr<SimDevice> device = SimDevice::create(options, why);
    if (!device) {
        error = name + ": " + why;
        return nullptr;
    }
    devices.emplace(name, device);
    return device;
}

void forgetSimDevices() {
    std::lock_guard lock(registryMutex());
    registry().clear();
}

std::unique_ptr<SerialPort> openSimPort(const std::string& name, Clock& clock, std::string& error) {
    std::shared_ptr<SimDevice> device = deviceFor(name, error);
    if (!device)
        return nullptr;
    if (!device->claim()) {
        error = name + ": the port is already open";
        return nullptr;
    }
    return std::make_unique<SimPort>(std::move(device), clock);
}

void registerSimPortScheme(StateFilePlacer placeStateFile) {
    {
        std::lock_guard lock(registryMutex());
        statePlacer() = std::move(placeStateFile);
    }
    registerPortScheme(kPrefix, openSimPort,
                       "sim:[NAME][?key=value&...] (the simulated transmitter)");
}

}  // namespace kv58::sim
