// The link object's own seam: the backend chosen for each port name.
#include "SerialLink.h"
#include "ScriptedPort.h"
#include "VirtualClock.h"

#include <gtest/gtest.h>

#include <QStringList>

TEST(SerialLink, EachOpenAsksTheFactoryForTheName_NoTransportIsNotOpen)
{
    auto clock = std::make_shared<VirtualClock>();
    auto port = std::make_shared<ScriptedPort>(clock);
    QStringList asked;
    SerialLink link(
        [&](const QString& name) -> std::shared_ptr<SerialBackend> {
            asked << name;
            return name == QLatin1String("ttyS0") ? port : nullptr;
        },
        clock);
    QStringList failures;
    link.SetOpenFailureReporter([&](const QString& text) { failures << text; });

    ASSERT_TRUE(link.Open(QStringLiteral("ttyS0")));
    EXPECT_EQ(link.Backend(), port.get());
    EXPECT_FALSE(link.Open(QStringLiteral("socket://nowhere:1")));
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(asked, (QStringList{"ttyS0", "socket://nowhere:1"}));
    EXPECT_EQ(failures, QStringList{"Not open socket://nowhere:1"});
    EXPECT_EQ(port->events, (QStringList{"open ttyS0", "close"}));
}
