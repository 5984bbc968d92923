#include "ConsoleTest.h"

#include "PortChecks.h"

#include <QAction>
#include <QMenuBar>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <QToolButton>

#include <functional>
#include <grp.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>

namespace {

using LinkTest = ConsoleTest;

TEST_F(LinkTest, SendsEveryByteOnceInOrderThroughAStalledLine)
{
    SerialLink link;
    ASSERT_TRUE(link.open(pty.slavePath()));
    // Nobody reads the far end: the driver's queue fills (about 20 KB on a
    // pty) and the rest must wait their turn, not be dropped.
    QByteArray typed;
    for (int i = 0; i < 30000; ++i)
        typed += "exdsol"[i % 6];
    typed += 'q';
    for (char byte : typed)
        link.sendByte(byte);
    EXPECT_EQ(link.state(), PortState::Open);
    const QByteArray got = pty.read(10000, int(typed.size()));
    EXPECT_EQ(got.size(), typed.size());
    EXPECT_TRUE(got == typed) << "bytes lost, doubled or out of order";
}

TEST_F(LinkTest, ReadEndsWithinTheBoundsTheReadmePromises)
{
    SerialLink link;
    ASSERT_TRUE(link.open(pty.slavePath()));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(link.readReply(), 0u);
    EXPECT_GE(clock.elapsed(), SerialLink::FirstByteMs - 20);
    EXPECT_LT(clock.elapsed(), 900) << "no reply must give up within 0.9 s";

    // A byte every 15 ms never leaves a 50 ms gap: the total bound ends it.
    // A loaded machine may delay the chatter, or the pty's delivery of it,
    // into a gap that ends the reply early; that run proves nothing and is
    // tried again. A total bound set short ends every run early.
    qint64 took = 0;
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::atomic<bool> stop{false};
        std::thread chatter([master = pty.master(), &stop] {
            for (; !stop; std::this_thread::sleep_for(std::chrono::milliseconds(15)))
                [[maybe_unused]] const ssize_t written = ::write(master, "x", 1);
        });
        clock.restart();
        EXPECT_LT(link.readReply(), quint32(SerialLink::ReplySize));
        took = clock.elapsed();
        stop = true;
        chatter.join();
        EXPECT_LT(took, 3000) << "a trickling robot must be cut off within 3 s";
        if (took >= SerialLink::TotalMs - 20)
            return;
    }
    ADD_FAILURE() << "a trickled reply never lasted the total bound; the last ended after " << took << " ms";
}

// Another program holds the port as serial programs do: flock(), TIOCEXCL
// (which root passes by) and its own line speed. Refused, the link must
// leave all of it as it was, and no lock file behind.
TEST_F(LinkTest, ARefusedOpenLeavesTheHolderAsItWas)
{
    const int holder = ::open(qPrintable(pty.slavePath()), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios line{};
    ASSERT_EQ(::tcgetattr(holder, &line), 0);
    ::cfmakeraw(&line);
    ::cfsetspeed(&line, B115200);
    ASSERT_EQ(::tcsetattr(holder, TCSANOW, &line), 0);
    ASSERT_EQ(::ioctl(holder, TIOCEXCL), 0);
    for (const bool flocked : {true, false}) {
        ASSERT_EQ(::flock(holder, flocked ? LOCK_EX : LOCK_UN), 0);
        SerialLink link;
        EXPECT_FALSE(link.open(pty.slavePath()));
        EXPECT_EQ(link.lastFailure(), OpenFailure::HeldElsewhere);
        ASSERT_EQ(::tcgetattr(holder, &line), 0);
        EXPECT_EQ(::cfgetospeed(&line), speed_t(B115200)) << "flock: " << flocked;
        int exclusive = 0;
        EXPECT_TRUE(::ioctl(holder, TIOCGEXCL, &exclusive) == 0 && exclusive) << "flock: " << flocked;
        for (const QString &file : lockFilesFor(pty.slavePath()))
            EXPECT_FALSE(QFile::exists(file)) << qPrintable(file);
    }
    ::close(holder);
}

// Minicom looks for LCK..ttyUSB0 where the console was given /dev/com1: the
// link locks under both names, and honours another's lock under either, as
// it is written, and never touches it.
TEST_F(LinkTest, LocksUnderEveryNameAndHonoursOthersLocksAsWritten)
{
    QTemporaryDir dir;
    const QString com1 = dir.filePath(QStringLiteral("com1"));
    ASSERT_TRUE(QFile::link(pty.slavePath(), com1));
    const QStringList names = lockFilesFor(com1);
    ASSERT_EQ(names.size(), 2);
    if (!QFileInfo(lockFolder()).isWritable())
        GTEST_SKIP() << "the lock folder is not writable here";
    const auto contents = [](const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
    };
    const auto write = [](const QString &path, const QByteArray &content) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    };

    // A dead owner's lock holds nothing and is replaced.
    const pid_t dead = ::fork();
    if (dead == 0)
        ::_exit(0);
    ::waitpid(dead, nullptr, 0);
    ASSERT_TRUE(write(names[1], QByteArray::number(dead) + '\n'));
    SerialLink link;
    ASSERT_TRUE(link.open(com1));
    for (const QString &name : names)
        EXPECT_EQ(contents(name), QByteArray::number(::getpid()).rightJustified(10) + '\n') << qPrintable(name);
    link.close();
    for (const QString &name : names)
        EXPECT_FALSE(QFile::exists(name)) << qPrintable(name);

    const qint32 live = ::getppid();
    const QByteArray written[] = {QByteArray::number(live).rightJustified(10) + '\n', QByteArray::number(live),
                                  "  1\n", // as short as a binary pid, and text
                                  QByteArray(reinterpret_cast<const char *>(&live), sizeof live)};
    for (const QString &name : names) {
        for (const QByteArray &content : written) {
            ASSERT_TRUE(write(name, content));
            EXPECT_FALSE(link.open(com1)) << qPrintable(name) << " " << content.toStdString();
            EXPECT_EQ(contents(name), content);
            QFile::remove(name);
        }
    }
}

const QString OwnVersion = QStringLiteral("Kestrin : Version 1.0");

// AddressSanitizer's quarantine holds freed memory back on purpose; there,
// LeakSanitizer is what finds leaks, at exit.
#ifdef DRAVEL_SANITIZED
constexpr long MemoryNoiseKiB = 1L << 20;
#else
constexpr long MemoryNoiseKiB = 1024;
#endif

class WindowTest : public ConsoleTest
{
protected:
    // What the operator sees of the connection, with the link's state.
    std::string seen() const
    {
        const char *states[] = {"None", "Failed", "Open"};
        return states[int(Console.link.state())] + form->Panel(1)->text().toStdString()
            + (form->Active1->isEnabled() ? " +Active" : " -Active") + (form->Ferme1->isEnabled() ? " +Ferme" : " -Ferme");
    }
    // Chooses "Version" while the far end answers `reply` after `turnaroundMs`;
    // returns the box's text.
    QString version(const QByteArray &reply, int turnaroundMs = 10)
    {
        QByteArray query;
        std::thread robot([&] {
            query = pty.read(3000, 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(turnaroundMs));
            [[maybe_unused]] const ssize_t written = ::write(pty.master(), reply.constData(), size_t(reply.size()));
        });
        messages.texts.clear();
        form->Version1->trigger();
        robot.join();
        EXPECT_EQ(query, QByteArray("v"));
        return messages.texts.size() == 1 ? messages.texts[0] : QStringLiteral("<no single box>");
    }
    // Panel 1's tooltip after start-up on `port`, in a child process, which
    // may drop root or enter a mount namespace of its own in `prepare`.
    QString tooltipInChild(const QString &port, const std::function<bool()> &prepare)
    {
        int out[2];
        if (::pipe(out) != 0)
            return {};
        if (::fork() == 0) {
            const QByteArray tip = prepare() ? (create(port), form->Panel(1)->toolTip().toUtf8()) : "<not prepared>";
            [[maybe_unused]] const ssize_t written = ::write(out[1], tip.constData(), size_t(tip.size()));
            ::_exit(0);
        }
        ::close(out[1]);
        QFile tip;
        tip.open(out[0], QIODevice::ReadOnly, QFile::AutoCloseHandle);
        const QByteArray text = tip.readAll();
        ::wait(nullptr);
        return QString::fromUtf8(text);
    }
};

TEST_F(WindowTest, ConnectionStatesFollowTheMenuAndSayWhyAnOpenFailed)
{
    const QString device = pty.slavePath();
    createOnPty();
    EXPECT_EQ(seen(), "Open Connecté -Active +Ferme");
    EXPECT_EQ(form->Panel(1)->toolTip(), device);
    EXPECT_TRUE(pty.lineIs2400_8N1Raw());

    // Another console (its lock files, TIOCEXCL and flock), a flock() alone
    // (picocom), a live owner's lock file alone (minicom): Active fails and
    // stays so until Ferme.
    const int holder = ::open(qPrintable(device), O_RDWR | O_NOCTTY | O_CLOEXEC);
    SerialLink other;
    QFile lock(lockFilesFor(device).constFirst());
    for (int way = 0; way < 3; ++way) {
        form->Ferme1->trigger();
        EXPECT_EQ(seen(), "None Déconnecté +Active -Ferme");
        if (way == 0)
            ASSERT_TRUE(other.open(device));
        else if (way == 1)
            ASSERT_EQ(::flock(holder, LOCK_EX), 0);
        else
            ASSERT_TRUE(lock.open(QIODevice::WriteOnly) && lock.write(QByteArray::number(::getppid()) + '\n') > 0 && lock.flush());
        form->Active1->trigger();
        EXPECT_EQ(seen(), "Failed Déconnecté -Active +Ferme") << way;
        EXPECT_EQ(form->Panel(1)->toolTip(), device + QStringLiteral(" : occupé par un autre programme")) << way;
        other.close();
        ::flock(holder, LOCK_UN);
        lock.close();
        lock.remove();
    }
    form->Ferme1->trigger();
    form->Active1->trigger();
    EXPECT_EQ(seen(), "Open Connecté -Active +Ferme");
    ::close(holder);

    const int fds = openDescriptors();
    for (int i = 0; i < 1000; ++i) {
        form->Ferme1->trigger();
        form->Active1->trigger();
    }
    EXPECT_EQ(openDescriptors(), fds) << "Ferme and Active leak descriptors";

    form.reset();
    create(QStringLiteral("/nonexistent/ttyIR0"));
    EXPECT_EQ(seen(), "Failed Déconnecté +Active -Ferme");
    EXPECT_EQ(form->Panel(1)->toolTip(), QStringLiteral("/nonexistent/ttyIR0 : port introuvable"));

    if (::geteuid() != 0)
        GTEST_SKIP() << "dropping to another user and private mounts need root";
    // Told the group that the node itself names.
    const group *tty = ::getgrnam("tty");
    ASSERT_TRUE(tty && ::chown(qPrintable(device), 0, tty->gr_gid) == 0 && ::chmod(qPrintable(device), 0660) == 0);
    EXPECT_EQ(tooltipInChild(device, [] { return ::setgid(65534) == 0 && ::setuid(65534) == 0; }),
              device + QStringLiteral(" : accès refusé ; ajoutez votre compte au groupe « tty »"));
    // Seen from a user namespace that maps no group of the node's: no group is named.
    EXPECT_EQ(tooltipInChild(device, [] { return ::setgid(65534) == 0 && ::setuid(65534) == 0 && ::unshare(CLONE_NEWUSER) == 0; }),
              device + QStringLiteral(" : accès refusé ; demandez l'accès à ce port à l'administrateur"));

    // The kernel's console, as /proc/consoles lists it, is never opened.
    termios kept{};
    ASSERT_EQ(::tcgetattr(pty.master(), &kept), 0);
    ::cfsetspeed(&kept, B9600);
    ASSERT_EQ(::tcsetattr(pty.master(), TCSANOW, &kept), 0);
    QTemporaryDir dir;
    QFile consoles(dir.filePath(QStringLiteral("consoles")));
    ASSERT_TRUE(consoles.open(QIODevice::WriteOnly));
    consoles.write(QStringLiteral("ttyIR0 -W- (EC p a) %1:%2\n").arg(major(pty.device())).arg(minor(pty.device())).toUtf8());
    consoles.close();
    EXPECT_EQ(tooltipInChild(device, [&] {
                  return ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
                      && ::mount(qPrintable(consoles.fileName()), "/proc/consoles", nullptr, MS_BIND, nullptr) == 0;
              }),
              device + QStringLiteral(" : console du système, laissée au système"));
    EXPECT_FALSE(pty.lineIs2400_8N1Raw()) << "the console's line was taken";
}

// Quitter's release is the end-to-end test's.
TEST_F(WindowTest, TheCloseBoxReleasesThePort)
{
    createOnPty();
    form->close(); // the title bar's close box
    EXPECT_FALSE(form->isVisible());
    SerialLink other;
    EXPECT_TRUE(other.open(pty.slavePath()));
}

// The operator gives up on a slow robot: Quitter, or the close box, chosen
// while "Version" waits. The program must end, with no box left over.
TEST_F(WindowTest, QuittingDuringTheVersionReadEndsTheProgram)
{
    for (const bool closeBox : {false, true}) {
        form.reset();
        createOnPty();
        std::thread robot([this] {
            pty.read(3000, 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            [[maybe_unused]] const ssize_t written = ::write(pty.master(), "late", 4);
        });
        messages.texts.clear();
        QTimer::singleShot(0, form->Version1, &QAction::trigger);
        // Due during the read; handled right after it, as the operator's input is.
        QTimer::singleShot(50, form.get(), [this, closeBox] { closeBox ? void(form->close()) : form->Quitter1->trigger(); });
        QTimer watchdog;
        watchdog.callOnTimeout([] { QCoreApplication::exit(7); });
        watchdog.start(5000);
        EXPECT_EQ(QApplication::exec(), 0) << "the event loop went on; close box: " << closeBox;
        robot.join();
        EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('|').toStdString();
        SerialLink other;
        EXPECT_TRUE(other.open(pty.slavePath()));
    }
}

TEST_F(WindowTest, HelpMenuShowsItsNoticeAndTheRobotsReplyExactly)
{
    createOnPty();
    form->Commande1->trigger();
    EXPECT_EQ(messages.texts, QStringList{QStringLiteral("Pas d'aide disponible.")});

    EXPECT_EQ(version("Robot 1.0"), QStringLiteral("Robot 1.0"));
    EXPECT_EQ(version(QByteArray("abc\0def", 7)), QStringLiteral("abc"));
    EXPECT_EQ(version("Robot simul\xe9 \x80 \x9c"), QStringLiteral("Robot simulé € œ"));
    EXPECT_EQ(version("a\r\nb\x07\x81"), QStringLiteral("a\nb\u2407\ufffd")) << "controls shown, not acted on";
    EXPECT_EQ(version("<b>x</b>"), QStringLiteral("<b>x</b>"));
    QByteArray full(199, 'a');
    full[198] = 'z';
    EXPECT_EQ(version(full + "!"), QString::fromLatin1(full));
    EXPECT_EQ(version(""), QStringLiteral("!")) << "the 200th byte opens the next reply";
    EXPECT_EQ(version("late", 800), OwnVersion);
    EXPECT_EQ(version("next"), QStringLiteral("latenext"));

    form->Ferme1->trigger();
    messages.texts.clear();
    QElapsedTimer clock;
    clock.start();
    form->Version1->trigger();
    EXPECT_LT(clock.elapsed(), SerialLink::FirstByteMs / 2) << "a closed port answers at once, not after a wait";
    EXPECT_EQ(messages.texts, QStringList{OwnVersion});
    EXPECT_EQ(sent(0), QByteArray());
}

// Unplugged while the console idles, and again while commands wait for a
// line that stalled: either way the device is let go at once, costs nothing
// after, and the window says so as after "Ferme".
TEST_F(WindowTest, DeviceThatHangsUpIsLetGoAndShown)
{
    for (const bool busy : {false, true}) {
        Pty line;
        form.reset();
        create(line.slavePath());
        ASSERT_EQ(Console.link.state(), PortState::Open);
        if (busy) // nobody reads: the driver's queue fills and the rest waits
            for (int i = 0; i < 30000; ++i)
                form->SpeedButton8->click();
        const dev_t device = line.device();
        line.closeMaster();
        EXPECT_TRUE(QTest::qWaitFor([&] { return Console.link.state() == PortState::None; }, 5000)) << busy;
        // A spin costs 0.65 s of this second even beside two busy loops; a
        // quiet console ~0.01 s, though a loaded machine once charged 0.11 s.
        const double before = cpuSeconds();
        QTest::qWait(1000);
        EXPECT_LT(cpuSeconds() - before, 0.3) << "spins after a hang-up; busy: " << busy;
        EXPECT_EQ(seen(), "None Déconnecté +Active -Ferme");
        EXPECT_EQ(form->Panel(1)->toolTip(), line.slavePath() + QStringLiteral(" : périphérique débranché"));
        EXPECT_EQ(openDescriptors("self", device), 0) << "the device is still held";

        QTest::mouseClick(form->SpeedButton8, Qt::LeftButton);
        form->Version1->trigger();
        EXPECT_EQ(messages.texts, QStringList{OwnVersion});
        messages.texts.clear();
    }
}

TEST_F(WindowTest, FloodingRobotKeepsMemoryBoundedAndVersionShort)
{
    createOnPty();
    const QByteArray chunk(4096, 'F');
    long kib = 0;
    QElapsedTimer clock;
    for (clock.start(); clock.elapsed() < 3500;) {
        while (::write(pty.master(), chunk.constData(), size_t(chunk.size())) > 0) {
        }
        QTest::qWait(1); // the console reads what it takes
        if (!kib && clock.elapsed() > 500)
            kib = residentKiB();
    }
    EXPECT_LT(residentKiB() - kib, MemoryNoiseKiB);
    clock.restart();
    form->Version1->trigger();
    EXPECT_LE(clock.elapsed(), 2500);
    EXPECT_EQ(messages.texts, QStringList{QString(199, QChar('F'))});
}

const QString KeyError = QStringLiteral("Erreur de Touche Clavier");

class DrivePadTest : public ConsoleTest
{
protected:
    void SetUp() override { ConsoleTest::SetUp(); createOnPty(); }
    QList<QToolButton *> pictures() const
    {
        return {form->SpeedButton1, form->SpeedButton2, form->SpeedButton3,
                form->SpeedButton4, form->SpeedButton6, form->SpeedButton7};
    }
    void click(QToolButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
    void switchMode() { click(form->SpeedButton5); }
};

TEST_F(DrivePadTest, MouseModeSendsEachButtonsByteOncePerCompletedClick)
{
    for (QToolButton *button : pictures())
        click(button);
    click(form->SpeedButton8);
    click(form->SpeedButton8);
    EXPECT_EQ(sent(8), QByteArray("exdsolqq"));

    // Pressing alone sends nothing; release over the button does.
    QTest::mousePress(form->SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(sent(0), QByteArray());
    QTest::mouseRelease(form->SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(sent(1), QByteArray("e"));
    // A press that slides off before the release is no click.
    const QPoint off(-30, -30);
    QTest::mousePress(form->SpeedButton8, Qt::LeftButton);
    QTest::mouseMove(form->SpeedButton8, off);
    QTest::mouseRelease(form->SpeedButton8, Qt::LeftButton, {}, off);
    EXPECT_EQ(sent(0), QByteArray());

    QTest::keyClicks(form.get(), QStringLiteral("exq+E"));
    EXPECT_EQ(sent(0), QByteArray()) << "keys are ignored in mouse mode";
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(DrivePadTest, ModeButtonSendsStopAtEachSwitchAndKeepsItsModeAcrossFerme)
{
    switchMode();
    EXPECT_EQ(form->SpeedButton5->text(), QStringLiteral("Clavier"));
    EXPECT_EQ(sent(1), QByteArray("q"));
    for (QToolButton *button : pictures())
        click(button);
    EXPECT_EQ(sent(0), QByteArray()) << "picture buttons are dead in keyboard mode";
    click(form->SpeedButton8);
    EXPECT_EQ(sent(1), QByteArray("q"));

    // With the port closed the screen behaves the same; the mode survives.
    form->Ferme1->trigger();
    switchMode();
    switchMode();
    QTest::keyClicks(form.get(), QStringLiteral("eZ"));
    EXPECT_EQ(messages.texts, QStringList{KeyError});
    form->Active1->trigger();
    EXPECT_EQ(sent(0), QByteArray());
    QTest::keyClick(form.get(), 'x');
    EXPECT_EQ(sent(1), QByteArray("x"));

    switchMode();
    EXPECT_EQ(form->SpeedButton5->text(), QStringLiteral("Souris"));
    EXPECT_EQ(sent(1), QByteArray("q"));
    click(form->SpeedButton1);
    EXPECT_EQ(sent(1), QByteArray("e"));
}

TEST_F(DrivePadTest, KeyboardModeFollowsTheKeyTableExactly)
{
    switchMode();
    ASSERT_EQ(sent(1), QByteArray("q"));
    QTest::keyClicks(form.get(), QStringLiteral("+-oledxsq"));
    EXPECT_EQ(sent(9), QByteArray("ololedxsq"));
    EXPECT_TRUE(messages.texts.isEmpty());

    // Case counts, and so does every character outside the table.
    QTest::keyClick(form.get(), 'E', Qt::ShiftModifier);
    QTest::keyClicks(form.get(), QStringLiteral(" Q"));
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Backspace})
        QTest::keyClick(form.get(), key);
    // "^" then "e" on a French keyboard types "ê", which is no command.
    QTest::sendKeyEvent(QTest::Click, form.get(), Qt::Key_Dead_Circumflex, QString(), Qt::NoModifier);
    QTest::keyClick(form.get(), 'e');
    EXPECT_EQ(sent(0), QByteArray());
    EXPECT_EQ(messages.texts, QStringList(7, KeyError));
    // "^" then "q" does not combine: the "q" still stops.
    QTest::sendKeyEvent(QTest::Click, form.get(), Qt::Key_Dead_Circumflex, QString(), Qt::NoModifier);
    QTest::keyClick(form.get(), 'q');
    EXPECT_EQ(sent(1), QByteArray("q"));
    EXPECT_EQ(messages.texts, QStringList(7, KeyError));

    // Keys that type nothing send nothing and show nothing; F10 opens the menu bar.
    messages.texts.clear();
    for (Qt::Key key : {Qt::Key_Up, Qt::Key_F1, Qt::Key_Shift, Qt::Key_Control})
        QTest::keyClick(form.get(), key);
    EXPECT_EQ(sent(0), QByteArray());
    EXPECT_TRUE(messages.texts.isEmpty());
    QTest::keyClick(form.get(), Qt::Key_F10);
    EXPECT_EQ(form->MainMenu1->activeAction(), form->PortSrie1->menuAction());
}

// Through the window system, as a person's input comes: a box Qt made modal
// would keep every event from the window.
TEST_F(DrivePadTest, StopStillStopsWhileABoxIsOpenAndNothingElseGetsThrough)
{
    QWindow *window = form->windowHandle();
    const auto centre = [this](QWidget *button) { return button->mapTo(form.get(), button->rect().center()); };
    const auto clickThroughWindow = [&](QWidget *button) {
        QTest::mouseClick(window, Qt::LeftButton, {}, centre(button));
    };
    for (const bool keyboard : {true, false}) {
        if (keyboard)
            switchMode();
        ASSERT_EQ(sent(keyboard ? 1 : 0), QByteArray(keyboard ? "q" : ""));
        bool stillOpen = false;
        messages.whileOpen = [&](QMessageBox *box) {
            clickThroughWindow(form->SpeedButton8);
            QTest::keyClick(window, 'q');
            QTest::keyClick(box->windowHandle(), 'q');
            clickThroughWindow(form->SpeedButton1);
            clickThroughWindow(form->SpeedButton5);
            QTest::keyClick(window, 'e');
            stillOpen = box->isVisible();
        };
        if (keyboard)
            QTest::keyClick(window, 'Z');
        else
            form->Commande1->trigger();
        // Keyboard mode: Stop's click and both typed "q"; mouse mode: the click only.
        EXPECT_EQ(sent(keyboard ? 3 : 1), QByteArray(keyboard ? "qqq" : "q")) << keyboard;
        EXPECT_EQ(sent(0), QByteArray()) << keyboard;
        EXPECT_TRUE(stillOpen);
        EXPECT_EQ(Console.mode, keyboard ? InputMode::Keyboard : InputMode::Mouse);
        if (keyboard)
            switchMode();
        ASSERT_EQ(sent(keyboard ? 1 : 0), QByteArray(keyboard ? "q" : ""));
    }
    EXPECT_EQ(messages.texts, (QStringList{KeyError, QStringLiteral("Pas d'aide disponible.")}));
}

} // namespace
