// zovex-render ended by SIGINT or SIGTERM in the middle of a batch leaves no temporary file,
// whatever the number of workers, with unnamed temporary files or without.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Interrupted {
    bool endedBySignal = false;
    int linesRead = 0;
};

// Starts the renderer with its lines on a pipe, reads `lines` of them, sends `sig` and waits.
Interrupted interruptAfter(const char* exe, const std::string& out, const char* jobs, int lines, int sig)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        execl(exe, exe, "--count", "100000", "--jobs", jobs, "--out", out.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    Interrupted r;
    char c = 0;
    while (r.linesRead < lines && read(fds[0], &c, 1) == 1)
        r.linesRead += c == '\n';
    kill(pid, sig);
    int status = 0;
    waitpid(pid, &status, 0);
    close(fds[0]);
    r.endedBySignal = WIFSIGNALED(status) && WTERMSIG(status) == sig;
    return r;
}

// The names in a folder that are not finished patterns.
std::vector<std::string> leftovers(const std::string& dir, off_t patternSize)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (const dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name == "." || name == "..")
                continue;
            struct stat st {};
            const bool whole = stat((dir + "/" + name).c_str(), &st) == 0 && st.st_size == patternSize;
            if (name.rfind("zovex-1-", 0) != 0 || !whole)
                names.push_back(name);
        }
        closedir(d);
    }
    return names;
}

} // namespace

TEST(RenderInterrupt, NoTemporaryFileSurvivesAnEndingSignalAtAnyJobs)
{
    // In memory where there is a folder for it: the runs stay short.
    QTemporaryDir tmp(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/zovex-interrupt-XXXXXX")
                                                                : QString());
    ASSERT_TRUE(tmp.isValid());
    const char* programs[] = {ZOVEX_RENDER_EXE, ZOVEX_RENDER_NAMED_TEMPORARIES_EXE};
    const off_t bmpSize = 54 + 2572 * 857; // 857 x 857, 24 bits, rows padded to 4 bytes
    int runs = 0, signalled = 0;
    for (const char* exe : programs)
        for (const char* jobs : {"1", "2", "8"})
            for (int i = 0; i < 40; ++i) {
                const std::string out =
                    QFile::encodeName(tmp.filePath(QStringLiteral("run-%1").arg(runs))).toStdString();
                // The signal comes at varying points: after the first line, or a few more.
                const Interrupted r = interruptAfter(exe, out, jobs, 1 + i % 4, i % 2 ? SIGINT : SIGTERM);
                ++runs;
                signalled += r.endedBySignal;
                EXPECT_TRUE(r.endedBySignal) << exe << " --jobs " << jobs << ", run " << i;
                const std::vector<std::string> left = leftovers(out, bmpSize);
                EXPECT_TRUE(left.empty()) << exe << " --jobs " << jobs << ", run " << i << ": " << left.front()
                                          << (left.size() > 1 ? " and more" : "");
                QDir(QString::fromStdString(out)).removeRecursively();
            }
    EXPECT_EQ(signalled, runs);
}
