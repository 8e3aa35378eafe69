#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QtGlobal>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace quorvin::bench {

// The worst lateness of a 10 ms timer on the main thread while it runs: how long the window would
// have stood still.
class StallMeter {
public:
    static constexpr qint64 tickMs = 10;

    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(int(tickMs));
        // QUORVIN_BENCH_STALLS=<ms> prints every stall at least that long as a window on the
        // monotonic clock, to be matched with a profile recorded on that clock
        // (perf record -k CLOCK_MONOTONIC).
        const int shown = qEnvironmentVariableIntValue("QUORVIN_BENCH_STALLS");
        QObject::connect(&m_timer, &QTimer::timeout, [this, shown] {
            const qint64 now = m_clock.elapsed();
            const qint64 late = now - m_last - tickMs;
            if (shown > 0 && late >= shown) {
                timespec at {};
                clock_gettime(CLOCK_MONOTONIC, &at);
                const double end = double(at.tv_sec) + double(at.tv_nsec) / 1e9;
                std::printf("stall %lld ms: %.6f - %.6f\n", static_cast<long long>(late),
                    end - double(now - m_last) / 1000, end);
            }
            m_worst = std::max(m_worst, late);
            m_over50 += late > 50 ? 1 : 0;
            m_last = now;
            // The main thread's own time between the ticks: on a busy machine the wall lateness
            // also holds the time other processes had the core.
            const qint64 cpu = threadCpuMs();
            m_worstCpu = std::max(m_worstCpu, cpu - m_lastCpu);
            m_lastCpu = cpu;
        });
        m_clock.start();
        m_lastCpu = threadCpuMs();
        m_timer.start();
    }
    qint64 worstMs() const { return m_worst; }
    qint64 worstCpuMs() const { return m_worstCpu; }
    int over50() const { return m_over50; }

private:
    static qint64 threadCpuMs()
    {
        timespec at {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &at);
        return qint64(at.tv_sec) * 1000 + at.tv_nsec / 1000000;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worst = 0;
    int m_over50 = 0;
    qint64 m_lastCpu = 0;
    qint64 m_worstCpu = 0;
};

} // namespace quorvin::bench
