// Measurements of the page for phones: run with ./bench.sh (Release build). The panel with its
// window, connected to the simulated table over a real pseudo-terminal, serves the page on
// loopback; the pages are WebSockets of this same process and thread, as chromium's would be
// of another.
#include "ConnectedWindow.h"
#include "app/CGlowdeckApp.h"
#include "app/Services.h"
#include "control/ControlClients.h"
#include "sim/SimulatedTable.h"
#include "web/WebServer.h"

#include <QApplication>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>
#include <QWebSocket>

#include "BenchFigures.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

using namespace glowdeck;
using namespace glowdeck::bench;
using Steady = std::chrono::steady_clock;

namespace {
double percentile(std::vector<double> values, int percent) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, values.size() * std::size_t(percent) / 100)];
}

// The panel serving the page, connected to the simulated table; the page's keys in a folder of
// its own.
struct ServedPanel {
    QTemporaryDir config;
    bool configured = qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    ConnectedWindow connected{{}, [](CGlowdeckApp& app) {
                                  app.panel().startWeb(
                                      *WebEndpoint::parse(QStringLiteral("127.0.0.1:0"), nullptr),
                                      false, app);
                              }};
    WebServer& web() { return *connected.app->panel().web(); }
};

// A page: its WebSocket, said hello and subscribed.
struct Page {
    QWebSocket socket;
    int messages = 0;
    int lastReply = 0; // the id of the last reply
    Steady::time_point last;

    explicit Page(WebServer& web) {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString& text) {
            const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
            if (message.contains(QStringLiteral("id")))
                lastReply = message.value(QStringLiteral("id")).toInt();
            ++messages;
            last = Steady::now();
        });
        socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(web.port())));
        const QString link = web.link(ControlRole::Operator);
        (void)QTest::qWaitFor([this] { return socket.state() == QAbstractSocket::ConnectedState; });
        send({{"cmd", "hello"}, {"key", link.mid(link.indexOf(QStringLiteral("#key=")) + 5)}});
        send({{"cmd", "subscribe"}});
        (void)QTest::qWaitFor([this] { return messages >= 2; });
    }
    void send(const QJsonObject& request) {
        socket.sendTextMessage(QString::fromUtf8(QJsonDocument(request).toJson()));
    }
};

void BM_PageSize(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(WebServer::page().html.size());
    state.counters["bytes"] = double(WebServer::page().html.size());
    summary()["1 page size"] = format("%.1f KB", double(WebServer::page().html.size()) / 1024.0);
}
BENCHMARK(BM_PageSize)->Iterations(1);

// A mode button tapped on the page, to its frame read by the table; the table's 100 ms wait
// after the frame is not in it (the next tap waits for the reply, which comes after it).
void BM_TapToFrame(benchmark::State& state) {
    ServedPanel panel;
    Page page(panel.web());
    std::vector<double> micros;
    int mode = 0;
    for (auto _ : state) {
        const std::size_t frames = panel.connected.table.frames().size();
        const Steady::time_point start = Steady::now();
        page.send({{"cmd", "mode"}, {"mode", ++mode % 10}, {"id", mode}});
        while (panel.connected.table.frames().size() == frames)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        micros.push_back(
            double(std::chrono::duration_cast<std::chrono::nanoseconds>(Steady::now() - start)
                       .count()) /
            1000.0);
        // The reply, after the table's wait.
        (void)QTest::qWaitFor([&] { return page.lastReply == mode; }, 5000);
    }
    state.counters["p50_us"] = percentile(micros, 50);
    state.counters["p99_us"] = percentile(micros, 99);
    summary()["2 tap to frame at the table, p50 / p99"] =
        format("%.0f", percentile(micros, 50)) + " / " + format("%.0f µs", percentile(micros, 99));
}
BENCHMARK(BM_TapToFrame)->Iterations(100)->Unit(benchmark::kMillisecond)->UseRealTime();

std::vector<std::unique_ptr<Page>> fullHouse(WebServer& web) {
    std::vector<std::unique_ptr<Page>> pages;
    for (int i = 0; i < WebServer::kMaxClients; ++i)
        pages.push_back(std::make_unique<Page>(web));
    return pages;
}

// A change of the lighting told to 32 pages: until the last has it.
void BM_StateToThirtyTwoPages(benchmark::State& state) {
    ServedPanel panel;
    const auto pages = fullHouse(panel.web());
    ControlClients& clients = *panel.connected.app->panel().clients();
    std::vector<double> micros;
    for (auto _ : state) {
        std::vector<int> before;
        for (const auto& p : pages)
            before.push_back(p->messages);
        const Steady::time_point start = Steady::now();
        clients.broadcastState({{"mode", 3}, {"underlight1", "#FF0000"}});
        for (std::size_t i = 0; i < pages.size(); ++i)
            while (pages[i]->messages == before[i])
                QCoreApplication::processEvents(QEventLoop::AllEvents);
        Steady::time_point last = start;
        for (const auto& p : pages)
            last = std::max(last, p->last);
        micros.push_back(
            double(std::chrono::duration_cast<std::chrono::nanoseconds>(last - start).count()) /
            1000.0);
    }
    state.counters["p99_us"] = percentile(micros, 99);
    summary()["3 state event to 32 pages, p50 / p99"] =
        format("%.0f", percentile(micros, 50)) + " / " + format("%.0f µs", percentile(micros, 99));
}
BENCHMARK(BM_StateToThirtyTwoPages)->Iterations(500)->Unit(benchmark::kMicrosecond)->UseRealTime();

// What 32 idle pages add to the connected panel's CPU (pages and panel share this process, so
// the pages' own share is in it too).
void BM_IdleCpuThirtyTwoPages(benchmark::State& state) {
    ServedPanel panel;
    const auto idleFor = [](int ms) {
        const double before = cpuSeconds();
        QTest::qWait(ms);
        return (cpuSeconds() - before) / (ms / 1000.0) * 100.0;
    };
    for (auto _ : state) {
        const double alone = idleFor(5000);
        const auto pages = fullHouse(panel.web());
        const double withPages = idleFor(5000);
        state.counters["cpu_percent_alone"] = alone;
        state.counters["cpu_percent_with_pages"] = withPages;
        summary()["4 CPU idle, connected: no page / 32 pages"] =
            format("%.2f", alone) + " / " + format("%.2f %% of one core", withPages);
    }
}
BENCHMARK(BM_IdleCpuThirtyTwoPages)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\n| page for phones | result |\n|---|---|\n");
    for (const auto& [key, value] : summary())
        std::printf("| %s | %s |\n", key.c_str() + 2, value.c_str());
    return 0;
}
