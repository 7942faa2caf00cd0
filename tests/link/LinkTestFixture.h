// Link tests in virtual time against a scripted port: LinkTest on a link of its
// own; BoundLinkTest on the module-level names (ComUtilites), with that link
// bound for the test.
#pragma once

#include "ComUtilites.h"
#include "ScriptedPort.h"
#include "SerialLink.h"
#include "VirtualClock.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <memory>

class LinkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        link.SetOpenFailureReporter([this](const QString& text) { openFailures.append(text); });
    }

    static QByteArray Bytes(std::initializer_list<int> values)
    {
        QByteArray out;
        for (int v : values)
            out.append(char(v));
        return out;
    }
    QByteArray Buffer(int from, int count) const
    {
        return QByteArray(reinterpret_cast<const char*>(link.Buffer() + from), count);
    }

    std::shared_ptr<VirtualClock> clock = std::make_shared<VirtualClock>();
    std::shared_ptr<ScriptedPort> port = std::make_shared<ScriptedPort>(clock);
    SerialLink link{port, clock};
    QStringList openFailures;
};

class BoundLinkTest : public LinkTest
{
protected:
    static QByteArray Buffer(int from, int count)
    {
        return QByteArray(reinterpret_cast<const char*>(LinkBuffer() + from), count);
    }

    const PortBinding binding{link};
};
