#include "support/fakeprompter.h"

namespace kestavo::testsupport {

namespace {

bool accepts(platform::Prompter::Answer answer)
{
    using Answer = platform::Prompter::Answer;
    return answer == Answer::Ok || answer == Answer::Yes;
}

platform::Prompter::Answer answerOf(platform::Prompter::Buttons buttons, bool accept)
{
    using Answer = platform::Prompter::Answer;
    using Buttons = platform::Prompter::Buttons;
    switch (buttons) {
    case Buttons::Ok:
        return Answer::Ok;
    case Buttons::OkCancel:
        return accept ? Answer::Ok : Answer::Cancel;
    case Buttons::YesNo:
        break;
    }
    return accept ? Answer::Yes : Answer::No;
}

} // namespace

platform::Prompter::Answer FakePrompter::ask(const QString& text, const QString& title, Buttons buttons,
                                             Icon icon)
{
    m_calls.append({text, title, buttons, icon});
    const bool accept = m_script.isEmpty() ? m_default == DefaultReply::Accept : accepts(m_script.dequeue());
    return answerOf(buttons, accept);
}

void FakePrompter::queueAnswer(Answer answer)
{
    m_script.enqueue(answer);
}

void FakePrompter::setDefaultReply(DefaultReply reply)
{
    m_default = reply;
}

QStringList FakePrompter::texts() const
{
    QStringList result;
    for (const Call& call : m_calls)
        result << call.text;
    return result;
}

QString FakePrompter::lastText() const
{
    return m_calls.isEmpty() ? QString() : m_calls.constLast().text;
}

FakePrompter::Call FakePrompter::lastCall() const
{
    return m_calls.isEmpty() ? Call{} : m_calls.constLast();
}

void FakePrompter::clear()
{
    m_calls.clear();
    m_script.clear();
}

} // namespace kestavo::testsupport
