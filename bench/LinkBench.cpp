// Measurements of the link and the log: run with ./bench.sh (Release build).
#include "ConnectedWindow.h"
#include "app/CGlowdeckApp.h"
#include "app/CGlowdeckDlg.h"
#include "app/Services.h"
#include "link/Connection.h"
#include "link/TerminalPort.h"
#include "log/LogSearch.h"
#include "log/ReceivedLog.h"
#include "logview/LogFindBar.h"
#include "logview/LogView.h"
#include "protocol/CommandSet.h"
#include "protocol/ReceiveMachine.h"
#include "res/Templates.h"
#include "sim/SimulatedTable.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "BenchFigures.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>

using namespace glowdeck;
using namespace glowdeck::bench;

namespace {
// The system as the benchmarks have it: no serial ports, no Bluetooth, boxes answered at once.
// Runs one of the panel's actions to its end.
template <class T> T finish(Panel& panel, Sequence<T> action) {
    std::optional<T> result;
    panel.run<T>(std::move(action), SequenceRunner::Bound::Panel,
                 [&](T value) { result = std::move(value); });
    (void)QTest::qWaitFor([&] { return result.has_value(); }, 60000);
    return result.value_or(T{});
}
void finish(Panel& panel, Sequence<> action) {
    bool over = false;
    panel.run(std::move(action), SequenceRunner::Bound::Panel, [&] { over = true; });
    (void)QTest::qWaitFor([&] { return over; }, 60000);
}

// Lines as the table streams them: 22 bytes, CR LF included.
std::string streamLines(std::size_t count, std::size_t& numbered) {
    std::string lines;
    lines.reserve(count * 22);
    char line[24];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(line, sizeof line, "Stream line %08zu\r\n", ++numbered % 100000000);
        lines += line;
    }
    return lines;
}

// Fills the log with streamed lines up to the size, as bursts of about a thousand bytes.
void fill(ReceivedLog& log, std::uint64_t bytes, std::size_t& numbered) {
    const std::string burst = streamLines(46, numbered);
    while (log.size() < bytes)
        log.append(burst, false);
}

// A log view of the usual size, shown, on a log of its own.
struct ShownLog {
    ReceivedLog log;
    LogView view;
    ShownLog() {
        view.resize(380, 520);
        view.attach(&log, {}, {});
        view.show();
        (void)QTest::qWaitForWindowExposed(&view);
    }
};

void BM_AppendToLog(benchmark::State& state) {
    const std::uint64_t megabytes = std::uint64_t(state.range(0));
    ShownLog shown;
    std::size_t numbered = 0;
    fill(shown.log, megabytes * 1000000, numbered);
    shown.view.refreshNow();
    QCoreApplication::processEvents();
    const std::string line = streamLines(1, numbered);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        shown.log.append(line, false);
        QCoreApplication::processEvents();
    }
    const double micros =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    state.counters["log_MB"] = double(shown.log.size()) / 1e6;
    char key[64];
    std::snprintf(key, sizeof key, "1 AppendToLog, log of %3llu MB",
                  static_cast<unsigned long long>(megabytes));
    summary()[key] = format("%.1f us per append", micros / double(state.iterations()));
}
BENCHMARK(BM_AppendToLog)
    ->Arg(0)
    ->Arg(1)
    ->Arg(10)
    ->Arg(50)
    ->Arg(200)
    ->Unit(benchmark::kMicrosecond);

// Dragging the scroll bar to any place of a 200 MB log: the rows there are found and painted.
void BM_ScrollAndPaint200MB(benchmark::State& state) {
    ShownLog shown;
    std::size_t numbered = 0;
    fill(shown.log, 200000000, numbered);
    // A few long lines too, wrapped in the view.
    shown.log.append(std::string(300000, 'w'), true);
    fill(shown.log, 201000000, numbered);
    shown.view.refreshNow();
    QScrollBar* bar = shown.view.verticalScrollBar();
    std::mt19937 random(5);
    double longest = 0;
    double total = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        bar->setValue(int(random() % std::uint32_t(bar->maximum() + 1)));
        shown.view.viewport()->repaint();
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        longest = std::max(longest, ms);
        total += ms;
    }
    state.counters["longest_ms"] = longest;
    summary()["9 scroll to any place of a 200 MB log and paint it"] =
        format("%.2f ms on average, ", total / double(state.iterations())) +
        format("%.2f ms at most", longest);
}
BENCHMARK(BM_ScrollAndPaint200MB)->Iterations(200)->Unit(benchmark::kMillisecond);

// Find over 50 MB where nothing matches, the whole log read: by itself, and from the view's
// find bar (Enter in the field).
void BM_Find50MB(benchmark::State& state) {
    const bool throughView = state.range(0) != 0;
    ShownLog shown;
    std::size_t numbered = 0;
    fill(shown.log, 50000000, numbered);
    shown.view.refreshNow();
    if (throughView) {
        shown.view.openFind();
        shown.view.findBar()->field()->setText(QStringLiteral("Stream lime"));
    }
    double longest = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        if (throughView) {
            shown.view.findNext();
        } else {
            const LogSearch search("stream lime", false);
            benchmark::DoNotOptimize(search.next(shown.log.bytes(), 1000));
        }
        longest = std::max(longest, double(timer.nsecsElapsed()) / 1e6);
    }
    state.counters["longest_ms"] = longest;
    summary()[throughView ? "9 Find over a 50 MB log, from the find bar"
                          : "9 Find over a 50 MB log, the search alone"] =
        format("%.0f ms at most (no match: the whole log read)", longest);
}
BENCHMARK(BM_Find50MB)->Arg(0)->Arg(1)->Iterations(10)->Unit(benchmark::kMillisecond);

// Resident memory of the panel with its main window as the log grows to 20 and 200 MB of
// streamed lines, appended as the connection appends them. Run by itself for figures that no
// other benchmark's freed memory blurs: --benchmark_filter=LogMemory.
void BM_LogMemory(benchmark::State& state) {
    for (auto _ : state) {
        CGlowdeckApp app(quietSystem());
        const std::unique_ptr<CGlowdeckDlg> mainWindow = app.makeMainWindow();
        CGlowdeckDlg& window = *mainWindow;
        window.show();
        (void)QTest::qWaitForWindowExposed(&window);
        QCoreApplication::processEvents();
        const double start = double(residentKb()) / 1024.0;
        std::size_t numbered = 0;
        const std::string burst = streamLines(46, numbered);
        auto growTo = [&](std::uint64_t bytes) {
            while (app.log().size() < bytes) {
                window.AppendToLog(burst, false);
                if (app.log().size() % (burst.size() * 1000) == 0)
                    QCoreApplication::processEvents();
            }
            window.control<LogView>(IDC_RECEIVED_DATA)->refreshNow();
            QCoreApplication::processEvents();
            return double(residentKb()) / 1024.0;
        };
        const double at20 = growTo(20000000);
        const double at200 = growTo(200000000);
        state.counters["start_MB"] = start;
        state.counters["log20_MB"] = at20;
        state.counters["log200_MB"] = at200;
        // Resident memory is read in MiB; the log's sizes are 10^6 bytes.
        const double mib = 1e6 / 1048576.0;
        summary()["7 resident memory: start / 20 MB log / 200 MB log"] =
            format("%.1f / ", start) + format("%.1f / ", at20) + format("%.1f MiB", at200) +
            format(" (start + %.2f x the log at 20 MB, ", (at20 - start) / (20 * mib)) +
            format("%.2f bytes per byte from 20 to 200 MB)", (at200 - at20) / (180 * mib));
    }
}
BENCHMARK(BM_LogMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ReceiveMachineThroughput(benchmark::State& state) {
    std::size_t logged = 0;
    ReceiveMachine machine([&](std::string&& t) { logged += t.size(); }, {});
    std::vector<std::uint8_t> burst(4096);
    for (std::size_t i = 0; i < burst.size(); ++i)
        burst[i] = std::uint8_t(i * 13);
    for (auto _ : state) {
        machine.feed(burst.data(), burst.size());
        machine.endBurst();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * burst.size()));
    benchmark::DoNotOptimize(logged);
}
BENCHMARK(BM_ReceiveMachineThroughput);

// 10 MB from the table as fast as the pseudo-terminal takes it, into the log.
void BM_ReceiveIntoLog(benchmark::State& state) {
    double seconds = 0;
    double lost = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ConnectedWindow panel;
        panel.app->log().clear();
        std::vector<std::uint8_t> data(10 * 1000 * 1000);
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = std::uint8_t('a' + i % 26);
        state.ResumeTiming();
        QElapsedTimer timer;
        timer.start();
        panel.table.send(data);
        // Stops early only if bytes went missing; the deadline then bounds the wait.
        const bool all =
            QTest::qWaitFor([&] { return panel.app->log().size() >= data.size(); }, 60000);
        benchmark::DoNotOptimize(all);
        seconds += double(timer.nsecsElapsed()) / 1e9;
        lost += double(data.size()) - double(panel.app->log().size());
    }
    state.counters["bytes_lost"] = lost;
    state.SetBytesProcessed(std::int64_t(state.iterations()) * 10 * 1000 * 1000);
    summary()["2 receive 10 MB from the pty into the log"] =
        format("%.1f MB/s, ", 10.0 * double(state.iterations()) / seconds) +
        format("%.0f bytes lost", lost);
}
BENCHMARK(BM_ReceiveIntoLog)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_IdleConnectedCpu(benchmark::State& state) {
    ConnectedWindow panel;
    for (auto _ : state) {
        const double before = cpuSeconds();
        QTest::qWait(2000);
        state.counters["cpu_s_per_min"] = (cpuSeconds() - before) * 30.0;
        summary()["3 CPU while connected and idle"] =
            format("%.2f CPU-seconds per minute", (cpuSeconds() - before) * 30.0);
    }
}
BENCHMARK(BM_IdleConnectedCpu)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PumpedWaitCpu(benchmark::State& state) {
    ConnectedWindow panel;
    for (auto _ : state) {
        const double before = cpuSeconds();
        // The factory reset's wait.
        finish(panel.app->panel(), panel.app->connection().pumpedWait(4000));
        state.counters["cpu_percent"] = (cpuSeconds() - before) * 100.0 / 4.0;
        summary()["4 CPU during a 4 s wait"] =
            format("%.2f %% of one core", (cpuSeconds() - before) * 100.0 / 4.0);
    }
}
BENCHMARK(BM_PumpedWaitCpu)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// A port that takes its time to open, as a Bluetooth table out of range pages for seconds.
class SlowPort : public TerminalPort {
public:
    explicit SlowPort(int openMs) : m_openMs(openMs) {}
    void open(const QString& name) override {
        QTimer::singleShot(m_openMs, this, [this, name] { answerOpen(openNow(name)); });
    }

private:
    int m_openMs;
};

// The longest time the window's event loop went without handling a 5 ms timer while the port
// took 5 s to open.
void BM_EventLatencyWhileOpening(benchmark::State& state) {
    sim::SimulatedTable table;
    table.start();
    CGlowdeckApp app(quietSystem());
    app.connection().setPortFactory(
        [](const QString&) -> std::unique_ptr<Port> { return std::make_unique<SlowPort>(5000); });
    const auto owned = app.makeMainWindow({QString::fromStdString(table.devicePath())});
    CGlowdeckDlg& window = *owned;
    window.show();
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0;
        qint64 longest = 0;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longest = std::max(longest, clock.elapsed() - last);
            last = clock.elapsed();
        });
        tick.start(5);
        window.control<QPushButton>(IDC_CONNECT)->click();
        (void)QTest::qWaitFor([&] { return app.connection().connected(); }, 10000);
        state.counters["longest_gap_ms"] = double(longest);
        summary()["8 longest event gap while a port takes 5 s to open"] =
            format("%.0f ms", double(longest)) +
            format(" (open took %.1f s)", clock.elapsed() / 1000.0);
    }
    window.close();
    (void)QTest::qWaitFor([&] { return !window.isVisible(); }, 5000);
    table.stop();
}
BENCHMARK(BM_EventLatencyWhileOpening)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The EEPROM dump at the paced 115200 baud, from the frame to the completed capture.
void BM_EepromDumpPaced(benchmark::State& state) {
    ConnectedWindow panel;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const bool done =
            finish(panel.app->panel(), panel.app->connection().dumpEeprom()).image.has_value();
        benchmark::DoNotOptimize(done);
        const double ratio = double(timer.elapsed()) / (32787.0 / 11520.0 * 1000.0);
        state.counters["line_rate_ratio"] = ratio;
        summary()["5 EEPROM dump at 115200 baud"] =
            format("%.0f ms", double(timer.elapsed())) + format(" (%.3f x the line rate)", ratio);
    }
}
BENCHMARK(BM_EepromDumpPaced)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StartUpToShownWindow(benchmark::State& state) {
    double total = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        CGlowdeckApp app(quietSystem());
        const auto owned = app.makeMainWindow();
        CGlowdeckDlg& window = *owned;
        window.show();
        benchmark::DoNotOptimize(QTest::qWaitForWindowExposed(&window));
        total += double(timer.nsecsElapsed()) / 1e6;
    }
    state.counters["rss_MB"] = double(residentKb()) / 1024.0;
    summary()["6 start-up to a shown window (in process)"] =
        format("%.1f ms", total / double(state.iterations()));
}
BENCHMARK(BM_StartUpToShownWindow)->Unit(benchmark::kMillisecond)->Iterations(5);
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    {
        // The panel as it stands after start: application, main window shown, nothing logged.
        CGlowdeckApp app(quietSystem());
        const auto owned = app.makeMainWindow();
        CGlowdeckDlg& window = *owned;
        window.show();
        benchmark::DoNotOptimize(QTest::qWaitForWindowExposed(&window));
        summary()["7 resident memory after start"] =
            format("%.0f MB", double(residentKb()) / 1024.0);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\n| measurement | result |\n|---|---|\n");
    for (const auto& [key, value] : summary())
        std::printf("| %s | %s |\n", key.c_str() + 2, value.c_str());
    return 0;
}
