#pragma once
// What the benchmarks share to time a step: the thread's CPU time, the
// median of runs, and a wall-and-CPU timing printed on one line
// ("<what> median … ms wall, … ms CPU (min …, max … wall; n runs)").
#include <QElapsedTimer>
#include <QList>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

namespace kwbench {

// Milliseconds of CPU this thread has used.
inline double cpuMs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

inline double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

struct Timing {
    QList<double> wall, cpu;
    // Times one run of step.
    void measure(const std::function<void()> &step)
    {
        QElapsedTimer clock;
        const double c0 = cpuMs();
        clock.start();
        step();
        wall << clock.nsecsElapsed() / 1e6;
        cpu << cpuMs() - c0;
    }
    // One line: the label padded to width, figures with that many decimals.
    void print(const char *what, int width = 44, int decimals = 2) const
    {
        if (wall.isEmpty())
            return;
        const int w = decimals < 2 ? 7 : 8;
        std::printf("%-*s median %*.*f ms wall, %*.*f ms CPU (min %.*f, max %.*f wall; %d runs)\n", width, what, w,
                    decimals, median(wall), w, decimals, median(cpu), decimals,
                    *std::min_element(wall.begin(), wall.end()), decimals,
                    *std::max_element(wall.begin(), wall.end()), int(wall.size()));
    }
};

} // namespace kwbench
