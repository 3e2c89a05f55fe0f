#pragma once

// Helpers shared by the daughter-board tests: a started console whose unit is the recording peer
// (polling slowed down so only the frames under test reach the peer), status reports carrying
// board values, and the frames a test expects.

#include <QApplication>
#include <QByteArray>
#include <QListWidget>
#include <QTest>
#include <QWidget>

#include "support/consolefixture.h"

namespace kestavo::boardtest {

// Status report positions of the board values (revision above 1.6.9).
constexpr std::size_t kPresencePosition = 124; // boards 1-6
constexpr std::size_t kStatePosition = 130;    // boards 1-6
constexpr std::size_t kCountdownPosition = 136;

/// A status report of revision 1.7.2 with the given board values.
inline QByteArray boardReport(const std::array<int, 6>& presence, const std::array<int, 6>& states,
                              int countdown = 0)
{
    testsupport::ReplyBuilder report;
    for (std::size_t i = 0; i < 6; ++i) {
        report.at(kPresencePosition + i, presence[i]);
        report.at(kStatePosition + i, states[i]);
    }
    report.at(kCountdownPosition, countdown);
    return report.bytes();
}

/// Board `board` fitted with state byte `state`, the others absent.
inline QByteArray singleBoardReport(int board, int state, int countdown = 0)
{
    std::array<int, 6> presence{};
    std::array<int, 6> states{};
    presence[std::size_t(board - 1)] = 255;
    states[std::size_t(board - 1)] = state;
    return boardReport(presence, states, countdown);
}

/// "&^ZQK2001" + opcode + the fixture's ten wire password characters.
inline QByteArray frameHead(const testsupport::ConsoleFixture& fixture, char opcode)
{
    return QByteArrayLiteral("&^ZQK2001") + QByteArray(1, opcode) + fixture.wirePassword();
}

inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

/// Frames of one opcode that reached the peer, oldest first.
inline QList<QByteArray> framesWithOpcode(testsupport::RecordingPeer& peer, char opcode)
{
    QList<QByteArray> out;
    for (const QByteArray& frame : peer.frames()) {
        if (frame.size() >= 10 && frame.at(9) == opcode)
            out.append(frame);
    }
    return out;
}

/// Starts the fixture's session with the poll slowed down to a minute, so that the peer sees the
/// start frame and then only what the dialogs send; the peer is emptied.
inline bool startQuietly(testsupport::ConsoleFixture& fixture)
{
    fixture.session.setTiming({60000, 60000, 600000});
    if (!fixture.start())
        return false;
    fixture.peer.clear();
    return true;
}

/// Clicks a list line the way a user does (the list must be visible).
inline void clickLine(QListWidget* list, int row)
{
    QListWidgetItem* item = list->item(row);
    QVERIFY2(item, "no such line");
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

inline void clickLine(QListWidget* list, const QString& text)
{
    const auto found = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(QStringLiteral("no line \"%1\"").arg(text)));
    clickLine(list, list->row(found.first()));
}

/// The live top-level window with this object name (shown or hidden), or nullptr.
template <typename T = QWidget> T* topLevel(const QString& objectName)
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == objectName)
            if (auto* typed = qobject_cast<T*>(w))
                return typed;
    }
    return nullptr;
}

} // namespace kestavo::boardtest
