// Start-up of the launcher: the time from starting its process to its first painted frame, and the
// process's peak memory. Each run starts this program again as a child, which runs the real
// start-up sequence, reports through a pipe when the window first paints, and closes the window.
// Usage: launcher_startup [RUNS]   (uses Qt's offscreen platform unless QT_QPA_PLATFORM is set)
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "launcher/Unit4.h"
#include "launcher/starter.h"

extern char** environ;

namespace {

// Writes one byte to the pipe when a top-level window paints for the first time, then closes the
// launcher as its Exit button would.
class TFirstPaint : public QObject {
public:
    explicit TFirstPaint(int fd) : FFd(fd) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const auto* widget = qobject_cast<QWidget*>(watched);
        if (!FDone && event->type() == QEvent::Paint && widget != nullptr && widget->isWindow()) {
            FDone = true;
            const char byte = 1;
            if (write(FFd, &byte, 1) != 1) std::perror("write");
            QTimer::singleShot(0, [] { Form4->Close(); });
        }
        return false;
    }

private:
    int FFd;
    bool FDone = false;
};

int Child(int fd, char* program) {
    int argc = 1;
    char* argv[] = {program, nullptr};
    TFirstPaint watcher(fd);
    return RunLauncher(argc, argv, [&watcher] { qApp->installEventFilter(&watcher); });
}

struct TRun {
    double Milliseconds = 0;
    long PeakKiB = 0;
};

bool RunOnce(const char* self, TRun& run) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    const std::string fd = std::to_string(fds[1]);
    char* argv[] = {const_cast<char*>(self), const_cast<char*>("--child"), const_cast<char*>(fd.c_str()),
                    nullptr};
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, self, nullptr, nullptr, argv, environ) != 0) return false;
    close(fds[1]);
    char byte = 0;
    const bool painted = read(fds[0], &byte, 1) == 1;
    const auto painting = std::chrono::steady_clock::now();
    close(fds[0]);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !painted || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return false;
    run.Milliseconds = std::chrono::duration<double, std::milli>(painting - start).count();
    run.PeakKiB = usage.ru_maxrss;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0) return Child(std::atoi(argv[2]), argv[0]);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    std::vector<TRun> results;
    for (int i = 0; i < runs; ++i) {
        TRun run;
        if (!RunOnce("/proc/self/exe", run)) {
            std::fprintf(stderr, "launcher_startup: run %d failed\n", i);
            return 1;
        }
        results.push_back(run);
    }
    std::vector<double> times;
    std::vector<long> peaks;
    for (const auto& r : results) {
        times.push_back(r.Milliseconds);
        peaks.push_back(r.PeakKiB);
    }
    std::sort(times.begin(), times.end());
    std::sort(peaks.begin(), peaks.end());
    std::printf(
        "launcher start to first painted frame (%s, %d runs): median %.1f ms, min %.1f ms, max %.1f ms\n",
        std::getenv("QT_QPA_PLATFORM"), runs, times[times.size() / 2], times.front(), times.back());
    std::printf("launcher peak resident memory: median %.1f MiB, max %.1f MiB\n",
                peaks[peaks.size() / 2] / 1024.0, peaks.back() / 1024.0);
    return 0;
}
