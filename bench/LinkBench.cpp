// Measurements of the link and the log: run with ./bench.sh (Release build).
#include "app/CGlowdeckApp.h"
#include "app/CGlowdeckDlg.h"
#include "app/MessageBoxes.h"
#include "app/PortDiscovery.h"
#include "link/CommandSet.h"
#include "link/PumpedWait.h"
#include "link/ReceiveMachine.h"
#include "link/ReceivedLog.h"
#include "link/SerialLink.h"
#include "res/Templates.h"
#include "settings/CSettingsDlg.h"
#include "sim/SimulatedTable.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <fstream>

using namespace glowdeck;

namespace {
double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long residentKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
    }
    return 0;
}

// A main window connected to a simulated table, as the operator has it.
struct Panel {
    sim::SimulatedTable table;
    std::unique_ptr<CGlowdeckApp> app;
    std::unique_ptr<CGlowdeckDlg> window;

    explicit Panel(sim::SimOptions options = {}) : table(options) {
        MessageBoxes::setHandler([](const BoxRequest&) {});
        PortDiscovery::setLister([] { return QStringList{}; });
        table.start();
        app = std::make_unique<CGlowdeckApp>();
        window = std::make_unique<CGlowdeckDlg>(
            *app, QStringList{QString::fromStdString(table.devicePath())});
        window->show();
        window->control<QPushButton>(IDC_CONNECT)->click();
    }
    ~Panel() {
        window->close();
        window.reset();
        app.reset();
        table.stop();
    }
};

void BM_AppendToLog(benchmark::State& state) {
    const std::size_t megabytes = std::size_t(state.range(0));
    QPlainTextEdit view;
    view.resize(600, 600);
    view.show();
    ReceivedLog log;
    log.attachView(&view);
    const std::string line(79, 'x');
    const std::string chunk = [&] {
        std::string c;
        for (int i = 0; i < 1000; ++i)
            c += line + "\r\n";
        return c;
    }();
    while (log.text().size() < megabytes * 1000000)
        log.append(chunk, false);
    QCoreApplication::processEvents();
    for (auto _ : state) {
        log.append("Mode set: 3 Rave Mode", true);
        QCoreApplication::processEvents();
    }
    state.counters["log_MB"] = double(log.text().size()) / 1e6;
    state.counters["rss_MB"] = double(residentKb()) / 1024.0;
}
BENCHMARK(BM_AppendToLog)->Arg(0)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMicrosecond);

void BM_ReceiveMachineThroughput(benchmark::State& state) {
    std::vector<std::uint8_t> buffer(48000);
    std::atomic<int> flag{0};
    std::size_t logged = 0;
    ReceiveMachine machine([&](std::string&& t) { logged += t.size(); },
                           {buffer.data(), buffer.size(), &flag});
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
    for (auto _ : state) {
        state.PauseTiming();
        Panel panel;
        panel.app->log().clear();
        std::vector<std::uint8_t> data(10 * 1000 * 1000);
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = std::uint8_t('a' + i % 26);
        state.ResumeTiming();
        panel.table.send(data);
        const bool all =
            QTest::qWaitFor([&] { return panel.app->log().text().size() >= data.size(); }, 60000);
        benchmark::DoNotOptimize(all);
        state.PauseTiming();
        state.counters["bytes_lost"] = double(data.size()) - double(panel.app->log().text().size());
        state.ResumeTiming();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * 10 * 1000 * 1000);
}
BENCHMARK(BM_ReceiveIntoLog)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_IdleConnectedCpu(benchmark::State& state) {
    Panel panel;
    for (auto _ : state) {
        const double before = cpuSeconds();
        QTest::qWait(2000);
        state.counters["cpu_s_per_min"] = (cpuSeconds() - before) * 30.0;
    }
}
BENCHMARK(BM_IdleConnectedCpu)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PumpedWaitCpu(benchmark::State& state) {
    Panel panel;
    for (auto _ : state) {
        const double before = cpuSeconds();
        PumpedWait::wait(1000);
        state.counters["cpu_percent"] = (cpuSeconds() - before) * 100.0;
    }
}
BENCHMARK(BM_PumpedWaitCpu)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The EEPROM dump at the paced 115200 baud, from the frame to the completed capture.
void BM_EepromDumpPaced(benchmark::State& state) {
    Panel panel;
    CSettingsDlg& settings = panel.app->settings();
    std::uint32_t request = 0;
    for (auto _ : state) {
        settings.m_dumpInProgress = 1;
        panel.app->link().armCapture(++request);
        QElapsedTimer timer;
        timer.start();
        panel.app->link().sendCommand(nullptr, CMD_EEPROM_DUMP);
        const bool done =
            QTest::qWaitFor([&] { return settings.m_dumpInProgress.load() == 0; }, 20000);
        benchmark::DoNotOptimize(done);
        state.counters["line_rate_ratio"] = double(timer.elapsed()) / (32787.0 / 11520.0 * 1000.0);
    }
}
BENCHMARK(BM_EepromDumpPaced)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StartUpToShownWindow(benchmark::State& state) {
    PortDiscovery::setLister([] { return QStringList{}; });
    for (auto _ : state) {
        CGlowdeckApp app;
        CGlowdeckDlg window(app);
        window.show();
        benchmark::DoNotOptimize(QTest::qWaitForWindowExposed(&window));
    }
    state.counters["rss_MB"] = double(residentKb()) / 1024.0;
}
BENCHMARK(BM_StartUpToShownWindow)->Unit(benchmark::kMillisecond)->Iterations(5);
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
