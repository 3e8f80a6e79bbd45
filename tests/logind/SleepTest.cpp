// The machine's sleep, announced by python-dbusmock's logind template on a
// private bus, with the window logic and a simulated reader on a
// pseudo-terminal: the port is let go while the program's delay lock holds
// the sleep back, the lock is given back, and after the wake-up the reader
// is opened and identified again and the chip touched meanwhile captured.

#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusMessage>
#include <QTest>
#include <string>
#include <vector>

#include "../window/WindowFixture.h"
#include "PrivateBus.h"
#include "SleepWatch.h"

namespace vm4417::test {
namespace {

const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");

class Sleep : public WindowTest {
protected:
    void SetUp() override {
        reader = &StartWithReaderOn(3);
        ASSERT_TRUE(bus.StartMock(kLogind, {"--template", "logind"}));
    }
    // "what who mode" of each inhibitor logind holds.
    std::vector<std::string> Inhibitors() {
        const QDBusMessage reply = bus.connection().call(QDBusMessage::createMethodCall(
            kLogind, kManagerPath, "org.freedesktop.login1.Manager", "ListInhibitors"));
        std::vector<std::string> inhibitors;
        if (reply.type() != QDBusMessage::ReplyMessage) return inhibitors;
        const auto array = reply.arguments().value(0).value<QDBusArgument>();
        array.beginArray();
        while (!array.atEnd()) {
            QString what, who, why, mode;
            uint uid = 0, pid = 0;
            array.beginStructure();
            array >> what >> who >> why >> mode >> uid >> pid;
            array.endStructure();
            inhibitors.push_back((what + ' ' + who + ' ' + mode).toStdString());
        }
        array.endArray();
        return inhibitors;
    }
    void AnnounceSleep(bool sleeping) {
        QDBusMessage announcement = QDBusMessage::createMethodCall(
            kLogind, kManagerPath, "org.freedesktop.DBus.Mock", "EmitSignal");
        announcement << QStringLiteral("org.freedesktop.login1.Manager")
                     << QStringLiteral("PrepareForSleep") << QStringLiteral("b")
                     << QVariant(QVariantList{sleeping});
        const QDBusMessage reply = bus.connection().call(announcement);
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    }
    bool PortFree() {
        TermiosSerialPorts otherProgram(ports.Locations());
        return otherProgram.Open(3, ReaderPortConfig()).line != nullptr;
    }

    PrivateBus bus;
    readersim::ReaderSimulator* reader = nullptr;
};

TEST_F(Sleep, ThePortIsLetGoUnderTheDelayLockAndTheChipTouchedAtWakeUpIsCaptured) {
    const std::vector<std::string> held{"sleep vm4417 delay"};
    std::vector<std::string> inhibitorsBeforeSleep;
    bool freeBeforeSleep = false;
    SleepWatch watch(bus.connection());
    watch.Start(
        [&] {
            inhibitorsBeforeSleep = Inhibitors();
            window->PrepareForSleep();
            freeBeforeSleep = PortFree();
        },
        [&] { window->ResumeFromSleep(); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return watch.HoldsLock(); }, kBusWaitMs));
    EXPECT_EQ(Inhibitors(), held);
    EXPECT_FALSE(PortFree());

    AnnounceSleep(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->Asleep(); }, kBusWaitMs));
    EXPECT_EQ(inhibitorsBeforeSleep, held) << "the port is let go while the lock holds";
    EXPECT_TRUE(freeBeforeSleep);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Inhibitors().empty(); }, kBusWaitMs));

    reader->SendFrame("22222222222222");
    AnnounceSleep(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Asleep(); }, kBusWaitMs));
    for (int tick = 0; tick < 3; ++tick) Tick();
    EXPECT_FALSE(window->ReaderLost());
    EXPECT_EQ(ListLine(0), "1       09:41:05      222222222222");
    EXPECT_TRUE(QTest::qWaitFor([&] { return Inhibitors() == held; }, kBusWaitMs))
        << "the lock is taken again for the next sleep";
}

}  // namespace
}  // namespace vm4417::test
