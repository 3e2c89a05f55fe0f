#include "protocol/codes.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "protocol/conversions.h"

namespace kestavo::protocol {

namespace {

constexpr int kSlotCodeStep = 32;
constexpr int kBoardSlotCodeStep = 16;
constexpr int kFirstBoardAddress = 0x44;

// Board step code = base + 0x10 per board + item; the "NO"/"OFF" half sets the top bit.
constexpr std::uint8_t kBoardCodeBase = 0x20;
constexpr std::uint8_t kBoardCodeStride = 0x10;
constexpr std::uint8_t kBoardCodeOffHalf = 0x80;
constexpr int kBoardItems = 8;
constexpr int kBoardWaits = 10;

constexpr std::array<StepCode, 11> kRelaySteps{{
    {'1', "Relay 1 ON"},
    {'2', "Relay 1 OFF"},
    {'3', "Relay 2 ON"},
    {'4', "Relay 2 OFF"},
    {'5', "Relay 3 ON"},
    {'6', "Relay 3 OFF"},
    {'7', "Wait 1 Second"},
    {'8', "Wait 2 Seconds"},
    {'9', "Wait 3 Seconds"},
    {'A', "Wait 4 Seconds"},
    {'B', "Wait 5 Seconds"},
}};

std::string waitText(int seconds)
{
    return seconds == 1 ? std::string("Wait 1 Second") : "Wait " + std::to_string(seconds) + " Seconds";
}

// Item i of a board: the text of its lower code ("NC"/"ON") and of its upper code ("NO"/"OFF").
std::pair<std::string, std::string> boardItemTexts(int board, int item)
{
    const std::string prefix = "RDB" + std::to_string(board) + ' ';
    if (item < 6) {
        const std::string relay = prefix + "Relay " + std::to_string(item + 1);
        return {relay + " NC", relay + " NO"};
    }
    const std::string name = prefix + (item == 6 ? "Output" : "Light");
    return {name + " ON", name + " OFF"};
}

std::uint8_t boardCode(int board, int item, bool upperHalf)
{
    const int code =
        kBoardCodeBase + kBoardCodeStride * (board - 1) + item + (upperHalf ? kBoardCodeOffHalf : 0);
    return static_cast<std::uint8_t>(code);
}

// Every palette text of every board, then the ten waits, with their codes; built once.
const std::vector<std::pair<std::string, std::uint8_t>>& boardStepTable()
{
    static const std::vector<std::pair<std::string, std::uint8_t>> table = [] {
        std::vector<std::pair<std::string, std::uint8_t>> t;
        for (int board = 1; board <= kBoards; ++board) {
            for (int item = 0; item < kBoardItems; ++item) {
                auto [lower, upper] = boardItemTexts(board, item);
                t.emplace_back(std::move(lower), boardCode(board, item, false));
                t.emplace_back(std::move(upper), boardCode(board, item, true));
            }
        }
        for (int seconds = 1; seconds <= kBoardWaits; ++seconds)
            t.emplace_back(waitText(seconds), static_cast<std::uint8_t>(seconds));
        return t;
    }();
    return table;
}

} // namespace

const std::array<StepCode, 11>& relaySteps()
{
    return kRelaySteps;
}

std::optional<char> relayStepCode(std::string_view stepText)
{
    const std::string trimmed = trimSpaces(stepText);
    for (const StepCode& step : kRelaySteps) {
        if (step.text == trimmed)
            return step.code;
    }
    return std::nullopt;
}

std::optional<std::string_view> relayStepText(char code)
{
    for (const StepCode& step : kRelaySteps) {
        if (step.code == code)
            return step.text;
    }
    return std::nullopt;
}

int slotCode(int slot)
{
    return (slot - 1) * kSlotCodeStep;
}

std::optional<int> slotIndexForCode(int code)
{
    if (code < 0 || code % kSlotCodeStep != 0 || code / kSlotCodeStep >= kScriptSlots)
        return std::nullopt;
    return code / kSlotCodeStep;
}

std::string slotCodeText(int slotIndex)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "&H%X", static_cast<unsigned>(slotIndex * kSlotCodeStep));
    return buffer;
}

std::vector<std::string> slotPreview(std::string_view codeField)
{
    std::vector<std::string> steps;
    const std::string_view scanned = codeField.substr(0, std::min(codeField.size(), kFieldWidth));
    for (const char c : scanned) {
        if (c == ' ')
            break;
        if (const std::optional<std::string_view> text = relayStepText(c))
            steps.emplace_back(*text);
    }
    return steps;
}

std::string codeFieldFor(const std::vector<std::string>& stepTexts)
{
    std::string field;
    for (const std::string& line : stepTexts) {
        if (const std::optional<char> code = relayStepCode(line))
            field.push_back(*code);
    }
    return field;
}

std::string padField(std::string_view text, std::size_t width)
{
    std::string field(text.substr(0, std::min(text.size(), width)));
    field.resize(width, ' ');
    return field;
}

int boardAddress(int board)
{
    return kFirstBoardAddress + 2 * (board - 1);
}

int itemMask(BoardItem item)
{
    return 1 << static_cast<int>(item);
}

int boardSlotCode(int slot)
{
    return (slot - 1) * kBoardSlotCodeStep;
}

std::vector<std::string> boardPalette(int board)
{
    std::vector<std::string> palette;
    if (board < 1 || board > kBoards)
        return palette;
    palette.reserve(2 * kBoardItems + kBoardWaits);
    for (int item = 0; item < kBoardItems; ++item) {
        auto [lower, upper] = boardItemTexts(board, item);
        palette.push_back(std::move(lower));
        palette.push_back(std::move(upper));
    }
    for (int seconds = 1; seconds <= kBoardWaits; ++seconds)
        palette.push_back(waitText(seconds));
    return palette;
}

std::optional<std::uint8_t> boardStepCode(std::string_view stepText)
{
    std::string trimmed = trimSpaces(stepText);
    // A wait shown from a slot's contents carries the board prefix (boardStepDisplayText); it is
    // the same wait as the palette's.
    constexpr std::string_view kBoardPrefix = "RDB ";
    if (trimmed.starts_with("RDB Wait "))
        trimmed.erase(0, kBoardPrefix.size());
    for (const auto& [text, code] : boardStepTable()) {
        if (text == trimmed)
            return code;
    }
    return std::nullopt;
}

std::optional<std::string> boardStepDisplayText(std::uint8_t code)
{
    if (code >= 1 && code <= kBoardWaits)
        return "RDB " + waitText(code);
    return boardStepText(code);
}

std::optional<std::string> boardStepText(std::uint8_t code)
{
    for (const auto& [text, known] : boardStepTable()) {
        if (known == code)
            return text;
    }
    return std::nullopt;
}

std::array<std::uint8_t, 16> boardCodesFor(const std::vector<std::string>& stepTexts)
{
    std::array<std::uint8_t, 16> codes{};
    const std::size_t count = std::min(stepTexts.size(), codes.size());
    for (std::size_t n = 0; n < count; ++n)
        codes[n] = boardStepCode(stepTexts[n]).value_or(0);
    return codes;
}

} // namespace kestavo::protocol
