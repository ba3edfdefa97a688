#include "metafile_helper.h"

#include <QFile>
#include <QTest>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

class tst_MetafileHelper : public QObject {
    Q_OBJECT
private slots:
    void endsWithTheProgram();
};

namespace {

// Waits up to ten seconds for `done`; whether it came true.
template<typename Condition>
bool eventually(Condition done)
{
    for (int i = 0; i < 1000; ++i) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

} // namespace

// A stand-in for the program (a child of this test) starts the helper as
// the program does, on an input that never ends, and is killed while the
// helper waits for it: the helper must not outlive it.
void tst_MetafileHelper::endsWithTheProgram()
{
    // The helper, orphaned, becomes this process's child, to be waited for.
    QCOMPARE(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    int input[2], output[2], report[2];
    QVERIFY(pipe(input) == 0 && pipe(output) == 0 && pipe(report) == 0);
    const QByteArray helper = QFile::encodeName(platform::metafile_helper::path());
    const pid_t program = fork();
    QVERIFY(program >= 0);
    if (program == 0) {
        const pid_t started = platform::metafile_helper::start(helper, "emf", QSize(10, 10), input[0], output[1]);
        (void)!write(report[1], &started, sizeof started);
        pause();
        _exit(0);
    }
    pid_t started = -1;
    QCOMPARE(read(report[0], &started, sizeof started), ssize_t(sizeof started));
    QVERIFY2(started > 0, helper.constData());
    // Killed only once the helper is blocked reading its input.
    const QByteArray reading = QByteArray::number(SYS_read) + ' ';
    const bool waiting = eventually([&] {
        QFile call(QStringLiteral("/proc/%1/syscall").arg(started));
        return call.open(QIODevice::ReadOnly) && call.readAll().startsWith(reading);
    });
    kill(program, SIGKILL);
    QCOMPARE(waitpid(program, nullptr, 0), program);
    int status = 0;
    const bool ended = eventually([&] { return waitpid(started, &status, WNOHANG) == started; });
    if (!ended) {
        kill(started, SIGKILL);
        waitpid(started, nullptr, 0);
    }
    QVERIFY2(waiting, "the helper never read its input");
    QVERIFY2(ended, "the helper outlived the program");
    QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

int main(int argc, char *argv[])
{
    platform::metafile_helper::setFolder(QStringLiteral(MORVEL_BIN_DIR));
    tst_MetafileHelper test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_metafile_helper.moc"
