#include "OpenFailureBox.h"

#include "Application.h"
#include "LinkTexts.h"
#include "NetworkBackend.h"
#include "NetworkTexts.h"
#include "SerialLink.h"

OpenFailureBox DescribeOpenFailure(const SerialLink& link, const QString& notOpenText)
{
    const QString name = notOpenText.mid(LinkTexts::NotOpenPrefix.size());
    const SerialBackend* backend = link.Backend();
    const QString reason = backend ? backend->FailureReason() : QString();
    if (!IsNetworkPortName(name) || reason.isEmpty())
        return {QString(), notOpenText};
    // A malformed address's reason does not name it.
    const QString described = reason.contains(name) ? reason : name + QStringLiteral(": ") + reason;
    return {ApplicationTitle(), NetworkTexts::NotOpened.arg(described)};
}

void ShowOpenFailure(const SerialLink& link, const QString& notOpenText)
{
    const OpenFailureBox box = DescribeOpenFailure(link, notOpenText);
    ShowPlainBox(box.caption, box.text);
}
