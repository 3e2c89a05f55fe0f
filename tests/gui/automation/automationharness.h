#pragma once

// A running session against the recording peer, a stand-in main window, and access to the frames
// of one opcode: what every automation dialog test starts from.

#include <initializer_list>

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QList>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include "support/consolefixture.h"

namespace kestavo::test {

/// A list of texts written as plain literals.
inline QStringList strings(std::initializer_list<const char*> texts)
{
    QStringList list;
    for (const char* text : texts)
        list.append(QString::fromUtf8(text));
    return list;
}

class AutomationHarness
{
public:
    AutomationHarness()
    {
        fixture.context.mainWindow = &mainWindow;
        // No poll frame or watchdog stop while a test runs: the peer sees only what the dialog sends.
        fixture.session.setTiming({600000, 600000, 600000});
    }

    /// Starts the session and lets the unit report once, as it has before any of these dialogs
    /// can be opened from the main window.
    bool start()
    {
        if (!fixture.start())
            return false;
        fixture.feedStatus();
        return true;
    }

    /// Frames of one opcode the peer has received so far.
    QList<QByteArray> frames(char opcode)
    {
        QList<QByteArray> found;
        for (const QByteArray& frame : fixture.peer.frames()) {
            if (frame.size() > 9 && frame[9] == opcode)
                found.append(frame);
        }
        return found;
    }

    /// Waits until `count` frames of `opcode` have arrived.
    bool waitFrames(char opcode, int count = 1, int timeoutMs = 2000)
    {
        QElapsedTimer t;
        t.start();
        while (frames(opcode).size() < count && t.elapsed() < timeoutMs)
            fixture.peer.waitFrames(int(fixture.peer.frames().size()) + 1, 20);
        return frames(opcode).size() >= count;
    }

    /// The 20 bytes every frame of `opcode` starts with.
    QByteArray head(char opcode) const { return QByteArray("&^ZQK2001") + opcode + fixture.wirePassword(); }

    /// A kind-2 reply through the decoder, as if the unit had answered a read request.
    void feedSlots(const QList<QPair<QString, QString>>& slotEntries)
    {
        fixture.feed(testsupport::ReplyBuilder::slotTable(slotEntries));
    }

    template <typename T> T* child(QWidget* dialog, const char* name)
    {
        return dialog->findChild<T*>(QString::fromLatin1(name));
    }

    static void clickRow(QListWidget* list, int row)
    {
        list->scrollToItem(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }

    /// Clicks near the left edge, where option buttons have their indicator: a stretched option
    /// button takes no click beyond its text.
    static void clickButton(QAbstractButton* button)
    {
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }

    static QStringList texts(const QListWidget* list)
    {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out.append(list->item(i)->text());
        return out;
    }

    testsupport::ConsoleFixture fixture;
    QWidget mainWindow;
};

} // namespace kestavo::test
