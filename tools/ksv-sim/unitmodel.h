#pragma once

// The simulated KSV unit itself: every setting and reading it keeps, what it does with each
// command frame, and what changes by itself as time passes. No sockets and no wall clock: frames
// come in through handleFrame(), replies go out as byte strings, and time moves only through
// advance(), so a test runs a month of relay timer in microseconds.

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "ksv-sim/scriptrunner.h"

namespace kestavo::sim {

using Ipv4 = std::array<std::uint8_t, 4>;

class UnitModel
{
public:
    static constexpr int kRelays = 3;
    static constexpr int kPins = 5;
    static constexpr int kChannels = 8;
    static constexpr int kBoards = 6;
    static constexpr int kRelaySlots = 8;
    static constexpr int kBoardSlots = 16;
    static constexpr std::size_t kNameLength = 20;
    static constexpr std::size_t kFrameLogSize = 64;
    /// Reply kind written at position 14 of every status report the simulator sends.
    static constexpr std::uint8_t kKindStatus = 1;

    struct Config
    {
        std::string password = "password"; // as typed; padded with '*' to 10
        std::array<std::uint8_t, 3> firmware{1, 7, 2};
        std::array<std::uint8_t, 6> mac{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
        Ipv4 address{127, 0, 0, 1};
        std::string stationName = "KSV Simulator";
        std::array<bool, kBoards> boards{}; // fitted daughter boards
        std::uint32_t uptimeSeconds = 0;    // counter value at time 0
        int temperatureHalves = 46;         // half degrees Celsius: 46 = 23.0 °C
        std::uint32_t seed = 1;
        bool drift = false;            // temperature walks by half degrees around its start value
        bool waveforms = false;        // ADC channels follow slow sine waves instead of standing still
        bool flipPins = false;         // one I/O pin flips now and then
        bool sampleScripts = false;    // slots preloaded with a few scripts to look at
        bool fullLengthReports = true; // false: status reports end where the revision's fields end
    };

    enum class Outcome {
        Accepted,      // password matched, command carried out
        WrongPassword, // answered with verdict 1, nothing changed
        Filtered,      // source not on the allowed list: ignored without a word
        BadHeader,
        TooShort,
        UnknownOpcode,
    };

    struct Counters
    {
        std::uint64_t received = 0;
        std::uint64_t accepted = 0;
        std::uint64_t wrongPassword = 0;
        std::uint64_t filtered = 0;
        std::uint64_t badHeader = 0;
        std::uint64_t tooShort = 0;
        std::uint64_t unknownOpcode = 0;
        std::uint64_t replies = 0;                  // reply datagrams produced, before any injected fault
        std::array<std::uint64_t, 256> perOpcode{}; // accepted frames by opcode byte
        std::uint64_t dropped() const { return badHeader + tooShort + unknownOpcode; }
    };

    struct FrameRecord
    {
        std::string bytes;
        Ipv4 source{};
        std::int64_t atMs = 0;
        Outcome outcome = Outcome::Accepted;
    };

    enum class Trigger { Command, Timer, IoPin, Temperature };
    struct ScriptRun
    {
        std::int64_t atMs = 0;
        int slot = 0; // 1..8 for relay scripts, 1..16 for board scripts
        bool board = false;
        Trigger trigger = Trigger::Command;
    };

    struct RelayScript
    {
        std::string codeField = std::string(16, ' ');
        std::string description = std::string(16, ' ');
    };
    struct BoardScript
    {
        std::string description = std::string(16, ' ');
        std::array<std::uint8_t, 16> codes{};
    };
    struct IoSetting
    {
        std::uint8_t action = 0;
        std::uint8_t codeFor0 = 0;
        std::uint8_t codeFor1 = 0;
    };
    struct TemperatureSetting
    {
        std::uint8_t action = 0;
        std::uint8_t upperCode = 0;
        std::uint8_t lowerCode = 0;
        std::uint8_t upper = 0; // whole degrees Celsius
        std::uint8_t lower = 0;
    };

    UnitModel();
    explicit UnitModel(const Config& config);

    /// Takes one datagram as the unit would and returns the datagrams it answers with (none, one).
    std::vector<std::string> handleFrame(std::string_view frame, const Ipv4& source);
    /// Lets ms of unit time pass, running everything that falls due on the way in time order.
    void advance(std::int64_t ms);
    std::int64_t nowMs() const { return m_now; }

    /// The status report as sent now; positions 12 and 13 carry the administration results.
    std::string statusReport(char opcode = '1', std::uint8_t passwordResult = 0,
                             std::uint8_t allowedIpResult = 0) const;
    std::string slotTableReply() const;
    std::string boardListingReply() const;
    std::string boardContentsReply() const;

    // ---- readings and settings ----------------------------------------------------------
    const std::string& password() const { return m_password; }
    void setPassword(std::string_view typed);
    const std::array<std::uint8_t, 3>& firmware() const { return m_firmware; }
    void setFirmware(const std::array<std::uint8_t, 3>& bytes) { m_firmware = bytes; }
    /// Decimal texts of the three bytes joined and read as a number: 1.7.0 -> 170.
    long long revisionNumber() const;
    const std::array<std::uint8_t, 6>& mac() const { return m_mac; }
    const Ipv4& address() const { return m_address; }
    void setAddress(const Ipv4& address) { m_address = address; }
    const std::string& stationName() const { return m_stationName; } // 20 characters
    void setStationName(std::string_view name);

    bool relayOn(int relay) const { return m_relayOn.at(relay - 1); }
    void setRelay(int relay, bool on);
    std::uint8_t relayDelay(int relay) const { return m_relayDelay.at(relay - 1); }

    int pin(int pin) const { return m_pins.at(pin - 1); }
    /// Sets I/O pin 1..5 to 0 or 1; a change fires the pin's trigger when one is set.
    void setPin(int pin, int value);

    int temperatureHalves() const { return m_temperatureHalves; }
    double temperatureCelsius() const { return m_temperatureHalves / 2.0; }
    /// A change fires the temperature triggers whose threshold it crosses.
    void setTemperatureHalves(int halves);
    /// Magnitude and flag bytes of the status report for the current temperature.
    std::array<std::uint8_t, 2> temperatureBytes() const;

    std::uint16_t channelRaw(int channel) const;
    /// Holds channel 1..8 at a raw reading 0..4095 (its waveform stops).
    void setChannelRaw(int channel, std::uint16_t raw);

    std::uint32_t uptime() const;

    bool timerActive() const { return m_timer.active; }
    std::uint32_t timerRemaining() const;
    std::uint8_t timerSlotCode() const { return m_timer.slotCode; }
    bool timerContinuous() const { return m_timer.continuous; }

    const IoSetting& ioSetting(int box) const { return m_ioSettings.at(box - 1); }
    const TemperatureSetting& temperatureSetting() const { return m_temperatureSetting; }

    std::uint8_t allowedRule() const { return m_allowedRule; }
    const std::array<std::uint8_t, 20>& allowedOctets() const { return m_allowedOctets; }
    void setAllowed(std::uint8_t rule, const std::array<std::uint8_t, 20>& octets);
    bool accepts(const Ipv4& source) const;

    bool httpOn() const { return m_httpState == 0; }
    void setHttpOn(bool on) { m_httpState = on ? 0 : 1; }
    bool snmpOn() const { return m_snmpState == 0; }
    void setSnmpOn(bool on) { m_snmpState = on ? 0 : 1; }

    bool boardPresent(int board) const { return m_boardPresent.at(board - 1); }
    void setBoardPresent(int board, bool present) { m_boardPresent.at(board - 1) = present; }
    std::uint8_t boardState(int board) const { return m_boardState.at(board - 1); }
    void setBoardState(int board, std::uint8_t state) { m_boardState.at(board - 1) = state; }
    std::uint8_t toggleCountdown() const;

    const RelayScript& relayScript(int slot) const { return m_relayScripts.at(slot - 1); }
    void setRelayScript(int slot, std::string_view codeField, std::string_view description);
    const BoardScript& boardScript(int slot) const { return m_boardScripts.at(slot - 1); }
    void setBoardScript(int slot, std::string_view description, const std::array<std::uint8_t, 16>& codes);
    bool relayScriptRunning() const { return m_relayRunner.running(); }
    bool boardScriptRunning() const { return m_boardRunner.running(); }

    /// While set, 'G' and 'H' are answered with their failure results and change nothing.
    void setAdminRefusal(bool refuse) { m_adminRefusal = refuse; }

    const Counters& counters() const { return m_counters; }
    /// The last kFrameLogSize datagrams received, oldest first.
    const std::deque<FrameRecord>& frames() const { return m_frames; }
    const std::deque<ScriptRun>& scriptRuns() const { return m_scriptRuns; }
    void clearLogs();

private:
    Outcome dispatch(std::string_view frame, std::vector<std::string>& replies);
    void switchRelay(int relay, bool on);
    void runRelayScript(int slotIndex, Trigger trigger);
    void runBoardScript(int slotIndex, Trigger trigger);
    void performRelayStep(std::uint8_t code);
    void performBoardStep(std::uint8_t code);
    void startTimer(std::uint32_t delaySeconds, std::uint8_t slotCode, bool continuous);
    std::uint8_t boardCommand(std::uint8_t address, std::uint8_t mask, std::uint8_t toggle,
                              std::uint8_t delay);
    void temperatureChanged(int previous);
    std::optional<std::int64_t> nextEvent() const;
    void runEventsAt(std::int64_t t);
    void drift();
    void flipRandomPin();
    void logScriptRun(int slot, bool board, Trigger trigger);
    std::uint32_t randomBelow(std::uint32_t bound);

    struct Wave
    {
        double base = 0;
        double amplitude = 0;
        double periodMs = 1;
        double phase = 0;
    };
    struct Timer
    {
        bool active = false;
        bool continuous = false;
        std::uint32_t delaySeconds = 0;
        std::uint8_t slotCode = 0;
        std::int64_t expiresAt = 0;
    };
    struct Toggle
    {
        bool active = false;
        int board = 0;
        std::uint8_t mask = 0;
        std::int64_t expiresAt = 0;
    };

    Config m_config;
    std::int64_t m_now = 0;
    std::mt19937 m_random;

    std::string m_password;
    std::array<std::uint8_t, 3> m_firmware{};
    std::array<std::uint8_t, 6> m_mac{};
    Ipv4 m_address{};
    std::string m_stationName;

    std::array<bool, kRelays> m_relayOn{};
    std::array<std::uint8_t, kRelays> m_relayDelay{1, 1, 1};
    std::array<std::optional<std::int64_t>, kRelays> m_relayBackOnAt{};
    std::array<int, kPins> m_pins{};
    int m_temperatureHalves = 0;
    std::array<Wave, kChannels> m_waves{};

    Timer m_timer;
    std::array<IoSetting, kPins> m_ioSettings{};
    TemperatureSetting m_temperatureSetting;
    std::uint8_t m_allowedRule = 0;
    std::array<std::uint8_t, 20> m_allowedOctets{};
    std::uint8_t m_httpState = 0;
    std::uint8_t m_snmpState = 0;
    bool m_adminRefusal = false;

    std::array<bool, kBoards> m_boardPresent{};
    std::array<std::uint8_t, kBoards> m_boardState{};
    Toggle m_toggle;

    std::array<RelayScript, kRelaySlots> m_relayScripts{};
    std::array<BoardScript, kBoardSlots> m_boardScripts{};
    ScriptRunner m_relayRunner;
    ScriptRunner m_boardRunner;

    std::int64_t m_nextDriftAt = 0;
    std::int64_t m_nextFlipAt = 0;

    Counters m_counters;
    std::deque<FrameRecord> m_frames;
    std::deque<ScriptRun> m_scriptRuns;
};

} // namespace kestavo::sim
