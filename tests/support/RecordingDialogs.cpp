#include "tests/support/RecordingDialogs.h"

namespace qb::test {

bool RecordingDialogs::yesNo(const QString& question)
{
    questions.append(question);
    shown.append(QStringLiteral("yesno: ") + question);
    if (answers.empty())
        return true;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

void RecordingDialogs::failure(const QString& text, const QString& caption)
{
    failures.append(text);
    failureCaptions.append(caption);
    shown.append(QStringLiteral("failure[%1]: %2").arg(caption, text));
}

} // namespace qb::test
