// Each link test starts from the module's start state with a virtual clock and a
// scripted port, and leaves the module reset for the next one.
#pragma once

#include "ComUtilites.h"
#include "ScriptedPort.h"
#include "VirtualClock.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <memory>

class LinkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetComUtilites();
        SetLinkClock(clock);
        SetSerialBackend(port);
        SetOpenFailureReporter([this](const QString& text) { openFailures.append(text); });
    }
    void TearDown() override { ResetComUtilites(); }

    static QByteArray Bytes(std::initializer_list<int> values)
    {
        QByteArray out;
        for (int v : values)
            out.append(char(v));
        return out;
    }
    static QByteArray Buffer(int from, int count)
    {
        return QByteArray(reinterpret_cast<const char*>(LinkBuffer + from), count);
    }

    std::shared_ptr<VirtualClock> clock = std::make_shared<VirtualClock>();
    std::shared_ptr<ScriptedPort> port = std::make_shared<ScriptedPort>(clock);
    QStringList openFailures;
};
