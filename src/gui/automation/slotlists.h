#pragma once

// The slot lists every automation dialog shows: the eight slot descriptions of the console's slot
// table, and beside each one the steps of the chosen slot.

#include <string>

#include <QString>
#include <QStringList>

#include "protocol/reply.h"

class QListWidget;

namespace kestavo::automation {

/// A slot-table field as the dialogs show it: one character per byte, as received.
QString fieldText(const std::string& field);

/// Empties `slotList` and adds the eight slot descriptions in slot order; nothing is selected.
void fillSlotList(QListWidget& slotList, const protocol::SlotTable& table);

/// Replaces the contents of `steps` with the step texts of slot `index` (0..7). An index outside
/// the table lists nothing.
void showSlotPreview(QListWidget& steps, const protocol::SlotTable& table, int index);

/// True when slot `index` holds a script: its code field is more than spaces.
bool slotHoldsScript(const protocol::SlotTable& table, int index);

/// Row of the selected entry, -1 when nothing is selected.
int selectedRow(const QListWidget& list);

/// Selects the slot a stored slot code names (0x00 … 0xE0). Any other code selects nothing and
/// returns false.
bool selectSlotByCode(QListWidget& slotList, int code);

/// The texts of every entry, first to last.
QStringList itemTexts(const QListWidget& list);

} // namespace kestavo::automation
