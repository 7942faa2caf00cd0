// A message sink for tests: records each message (and its text in the window's
// words), and runs `onShow` while it is "open" (where nested ticks would run).
#pragma once

#include "LinkTexts.h"
#include "TransferEngine.h"

#include <QList>
#include <QStringList>

#include <functional>

class RecordingSink : public MessageSink
{
public:
    void ShowMessage(LinkOutcome outcome) override
    {
        outcomes.append(outcome);
        shown.append(LinkTexts::Message(outcome));
        if (onShow)
            onShow(outcome);
    }
    QList<LinkOutcome> outcomes;
    QStringList shown;
    std::function<void(LinkOutcome)> onShow;
};
