#include "ConsoleTest.h"
#include "ProcessUsage.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <atomic>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

// AddressSanitizer's quarantine holds freed memory back on purpose; there,
// LeakSanitizer is what finds leaks, at exit.
#ifdef DRAVEL_SANITIZED
constexpr long MemoryNoiseKiB = 1L << 20;
#else
constexpr long MemoryNoiseKiB = 1024;
#endif

using FaultTest = ConsoleTest;

TEST_F(FaultTest, TenThousandOpensLeakNeitherDescriptorsNorMemory)
{
    SerialLink link;
    auto cycle = [&](int times) {
        for (int i = 0; i < times; ++i) {
            ASSERT_TRUE(link.open(pty.slavePath()));
            link.close();
        }
    };
    cycle(200); // let allocators and caches settle
    const long fds = openDescriptors(), kib = residentKiB();
    cycle(10000);
    EXPECT_EQ(openDescriptors(), fds);
    EXPECT_LT(residentKiB() - kib, MemoryNoiseKiB);

    create(pty.slavePath());
    for (int i = 0; i < 100; ++i) {
        form->Ferme1->trigger();
        form->Active1->trigger();
    }
    const long windowFds = openDescriptors(), windowKib = residentKiB();
    for (int i = 0; i < 1000; ++i) {
        form->Ferme1->trigger();
        form->Active1->trigger();
    }
    EXPECT_EQ(openDescriptors(), windowFds);
    EXPECT_LT(residentKiB() - windowKib, MemoryNoiseKiB);
    EXPECT_EQ(form->Panel(1)->text(), QStringLiteral(" Connecté"));
}

TEST_F(FaultTest, VanishedDeviceIdlesAndReconnectsOnceBack)
{
    // The console's port is a name that can be pointed at a new device, as a
    // udev rule does for a replugged USB adapter.
    QTemporaryDir dir;
    const QString port = dir.filePath(QStringLiteral("ttyIR0"));
    ASSERT_TRUE(QFile::link(pty.slavePath(), port));
    create(port);
    ASSERT_EQ(Console.link.state(), PortState::Open);

    pty.closeMaster(); // unplugged
    form->SpeedButton8->click();
    form->Version1->trigger();
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("Kestrin : Version 1.0")});
    const double before = cpuSeconds();
    QTest::qWait(3000);
    EXPECT_LT(cpuSeconds() - before, 0.15) << "over 5 % of a core while idle";
    EXPECT_EQ(Console.link.state(), PortState::Open);
    EXPECT_EQ(form->Panel(1)->text(), QStringLiteral(" Connecté"));

    Pty replugged;
    ASSERT_TRUE(QFile::remove(port));
    ASSERT_TRUE(QFile::link(replugged.slavePath(), port));
    form->Ferme1->trigger();
    form->Active1->trigger();
    EXPECT_EQ(form->Panel(1)->text(), QStringLiteral(" Connecté"));
    form->SpeedButton8->click();
    EXPECT_EQ(replugged.read(1000, 1), QByteArray("q"));
}

TEST_F(FaultTest, FloodingRobotKeepsMemoryBoundedAndVersionShort)
{
    createOnPty();
    std::atomic<bool> stop{false};
    std::atomic<long> flooded{0};
    const int master = pty.master();
    std::thread robot([&] {
        const QByteArray chunk(4096, 'F');
        while (!stop) {
            const ssize_t n = ::write(master, chunk.constData(), size_t(chunk.size()));
            if (n > 0)
                flooded += n;
            pollfd p{master, POLLOUT, 0};
            poll(&p, 1, 10);
        }
    });
    QTest::qWait(500);
    const long kib = residentKiB();
    QTest::qWait(4000);
    EXPECT_LT(residentKiB() - kib, MemoryNoiseKiB) << flooded << " bytes flooded";

    QElapsedTimer clock;
    clock.start();
    form->Version1->trigger();
    EXPECT_LE(clock.elapsed(), 2500);
    stop = true;
    robot.join();
    ASSERT_EQ(messages.boxes.size(), 1);
    EXPECT_EQ(messages.boxes[0].text, QString(199, QChar('F')));
}

} // namespace
