#pragma once

// Code tables of the unit's automation: relay-script steps and slots, daughter-board steps,
// slots, addresses and item masks.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestavo::protocol {

// ---- Relay scripts -------------------------------------------------------------------------

inline constexpr int kScriptSlots = 8;
inline constexpr int kMaxScriptSteps = 16;
inline constexpr std::size_t kFieldWidth = 16; // code field and description on the wire

struct StepCode
{
    char code;
    std::string_view text;
};
/// The eleven steps in palette order: '1' "Relay 1 ON" … 'B' "Wait 5 Seconds".
const std::array<StepCode, 11>& relaySteps();
std::optional<char> relayStepCode(std::string_view stepText);
std::optional<std::string_view> relayStepText(char code);

/// (slot − 1) × 32 for slot 1..8.
int slotCode(int slot);
/// Slot index 0..7 for one of the eight slot codes, otherwise empty.
std::optional<int> slotIndexForCode(int code);
/// "&H0", "&H20" … "&HE0" for slot index 0..7.
std::string slotCodeText(int slotIndex);

/// Step texts of a code field: stop at the first space, skip characters that are no step code.
std::vector<std::string> slotPreview(std::string_view codeField);

/// The code field of a step list: codes of the trimmed lines that are step texts, in order.
std::string codeFieldFor(const std::vector<std::string>& stepTexts);

/// Left-aligns text in a field of `width`, space-filled; longer text is cut.
std::string padField(std::string_view text, std::size_t width = kFieldWidth);

// ---- Daughter boards -----------------------------------------------------------------------

inline constexpr int kBoards = 6;
inline constexpr int kBoardSlots = 16;
inline constexpr int kMaxBoardSteps = 16;

/// 0x44 + 2 (b − 1) for board 1..6.
int boardAddress(int board);

enum class BoardItem { Relay1, Relay2, Relay3, Relay4, Relay5, Relay6, Output, Light };
/// 0x01 … 0x20 for relays 1-6, 0x40 output, 0x80 light.
int itemMask(BoardItem item);

/// (slot − 1) × 16 for slot 1..16.
int boardSlotCode(int slot);

/// Palette of board 1..6: its sixteen step texts ("RDB1 Relay 1 NC", "RDB1 Relay 1 NO", …,
/// "RDB1 Light OFF") followed by the ten wait texts ("Wait 1 Second" … "Wait 10 Seconds").
std::vector<std::string> boardPalette(int board);
/// Code of a palette text of any board or of a wait text (exact match after trimming spaces).
std::optional<std::uint8_t> boardStepCode(std::string_view stepText);
/// Display text of a stored code: board steps as in the palette, waits as "RDB Wait 5 Seconds".
/// 0x00 and unknown codes are empty.
std::optional<std::string> boardStepDisplayText(std::uint8_t code);
/// Palette text of a stored code (waits as "Wait 5 Seconds"), the text boardStepCode() reads
/// back. 0x00 and unknown codes are empty.
std::optional<std::string> boardStepText(std::uint8_t code);
/// Sixteen codes of a step list: each trimmed line's code, 0x00 for lines matching nothing and
/// for unused steps. Lines beyond 16 are ignored.
std::array<std::uint8_t, 16> boardCodesFor(const std::vector<std::string>& stepTexts);

} // namespace kestavo::protocol
