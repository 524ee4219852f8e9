// Measurements of the control interface: run with ./bench.sh (Release build). The server runs on
// a thread of its own with its event loop, as in the panel; the clients block, as a script does.
#include "control/ControlClients.h"
#include "control/ControlHandler.h"
#include "control/ControlServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include "BenchFigures.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <thread>
#include <vector>

using namespace glowdeck;
using namespace glowdeck::bench;

namespace {

// Answers status at once, as the panel does without a frame; every other request after a
// 100 ms wait with the loop running, as the panel's sendCommand does.
class BenchHandler : public ControlHandler {
public:
    void handle(const ControlRequest& request, Done done) override {
        const QJsonObject reply{{QStringLiteral("connected"), true},
                                {QStringLiteral("mode"), 3},
                                {QStringLiteral("underlight1"), QStringLiteral("#FF0000")}};
        if (request.command == ControlRequest::Command::Status) {
            done(reply);
            return;
        }
        QTimer::singleShot(100, Qt::PreciseTimer, [done, reply] { done(reply); });
    }
};

// The panel's side: handler and server living on their own thread.
class ServerThread {
public:
    ServerThread() {
        m_context.moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(
            &m_context,
            [this] {
                m_clients = std::make_unique<ControlClients>(m_handler);
                m_server = std::make_unique<ControlServer>(*m_clients);
                QString error;
                if (!m_server->listen(m_folder.filePath(QStringLiteral("control")), &error))
                    std::fprintf(stderr, "cannot listen: %s\n", qPrintable(error));
            },
            Qt::BlockingQueuedConnection);
    }
    ~ServerThread() {
        QMetaObject::invokeMethod(
            &m_context,
            [this] {
                m_server.reset();
                m_clients.reset();
            },
            Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    QString path() const { return m_folder.filePath(QStringLiteral("control")); }

private:
    QTemporaryDir m_folder;
    QThread m_thread;
    QObject m_context;
    BenchHandler m_handler;
    std::unique_ptr<ControlClients> m_clients;
    std::unique_ptr<ControlServer> m_server;
};

// A script's connection: blocking writes and reads.
class Client {
public:
    explicit Client(const QString& path) {
        m_socket.connectToServer(path);
        m_socket.waitForConnected(5000);
    }
    void send(const QByteArray& line) {
        m_socket.write(line);
        m_socket.waitForBytesWritten(5000);
    }
    QByteArray readLine() {
        while (!m_socket.canReadLine())
            if (!m_socket.waitForReadyRead(5000))
                return {};
        return m_socket.readLine();
    }

private:
    QLocalSocket m_socket;
};

void BM_StatusRoundTrip(benchmark::State& state) {
    ServerThread server;
    Client client(server.path());
    std::vector<double> micros;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        client.send("{\"cmd\":\"status\"}\n");
        benchmark::DoNotOptimize(client.readLine());
        micros.push_back(double(clock.nsecsElapsed()) / 1000.0);
    }
    std::sort(micros.begin(), micros.end());
    const double p50 = micros[micros.size() / 2];
    const double p99 = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
    state.counters["p50_us"] = p50;
    state.counters["p99_us"] = p99;
    summary()["1 round trip of status, p50 / p99"] =
        format("%.0f", p50) + " / " + format("%.0f µs", p99);
}
BENCHMARK(BM_StatusRoundTrip)->Iterations(5000)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_CommandsPerSecond(benchmark::State& state) {
    ServerThread server;
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 4; ++i)
        clients.push_back(std::make_unique<Client>(server.path()));
    constexpr int kEach = 5;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        for (auto& c : clients)
            for (int k = 0; k < kEach; ++k)
                c->send("{\"cmd\":\"mode\",\"mode\":3}\n");
        for (auto& c : clients)
            for (int k = 0; k < kEach; ++k)
                benchmark::DoNotOptimize(c->readLine());
        const double perSecond =
            double(clients.size() * kEach) / (double(clock.nsecsElapsed()) / 1e9);
        state.counters["commands_per_s"] = perSecond;
        summary()["2 commands with a frame per second (100 ms wait each)"] =
            format("%.2f /s", perSecond);
    }
}
BENCHMARK(BM_CommandsPerSecond)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_IdleCpuSixteenSubscribers(benchmark::State& state) {
    ServerThread server;
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < ControlServer::kMaxClients; ++i) {
        clients.push_back(std::make_unique<Client>(server.path()));
        clients.back()->send("{\"cmd\":\"subscribe\"}\n");
        clients.back()->readLine();
    }
    for (auto _ : state) {
        const double before = cpuSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(5));
        const double percent = (cpuSeconds() - before) / 5.0 * 100.0;
        state.counters["cpu_percent"] = percent;
        summary()["3 CPU with 16 idle subscribed clients"] = format("%.3f %% of one core", percent);
    }
}
BENCHMARK(BM_IdleCpuSixteenSubscribers)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!summary().empty()) {
        std::printf("\n| control interface | result |\n|---|---|\n");
        for (const auto& [key, value] : summary())
            std::printf("| %s | %s |\n", key.c_str() + 2, value.c_str());
    }
    return 0;
}
