#pragma once

#include <QList>
#include <QQueue>

#include "platform/prompter.h"

namespace kestavo::testsupport {

/// Records every prompt and answers from a script.
///
/// Answers come from the queue filled by queueAnswer(), then from the default reply: Accept gives
/// Ok / Ok / Yes, Decline gives Ok / Cancel / No for Ok-only, OK/Cancel and Yes/No boxes. An
/// answer the box cannot give is read as its counterpart (Yes as Ok, No as Cancel and back), and an
/// Ok-only box always answers Ok.
class FakePrompter final : public platform::Prompter
{
public:
    struct Call
    {
        QString text;
        QString title;
        Buttons buttons = Buttons::Ok;
        Icon icon = Icon::None;
        bool operator==(const Call&) const = default;
    };
    enum class DefaultReply { Accept, Decline };

    Answer ask(const QString& text, const QString& title, Buttons buttons, Icon icon) override;

    void queueAnswer(Answer answer);
    void setDefaultReply(DefaultReply reply);
    qsizetype pendingAnswers() const { return m_script.size(); }

    const QList<Call>& calls() const { return m_calls; }
    QStringList texts() const;
    /// Text of the latest prompt, empty when there was none.
    QString lastText() const;
    Call lastCall() const;
    /// Forgets the recorded calls and the scripted answers.
    void clear();

private:
    QList<Call> m_calls;
    QQueue<Answer> m_script;
    DefaultReply m_default = DefaultReply::Accept;
};

} // namespace kestavo::testsupport
