#pragma once

#include "support/PanelFixture.h"

#include "control/LineClient.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <memory>
#include <random>
#include <string>

namespace glowdeck::test {

// A seeded random walk of the real window, its scripts and a chattering table that drops and
// comes back at the same name, with the panel reconnecting by itself. After every step the same
// rules are checked; a failure names the seed and the last steps, and GLOWDECK_WALK_SEED plays
// that seed again (GLOWDECK_WALK_STEPS sets the length).
class PanelWalk : public PanelFixture {
protected:
    PanelWalk();
    ~PanelWalk() override;
    void SetUp() override;
    void TearDown() override;
    // Walks the given number of steps unless the environment says otherwise, then closes the
    // window and checks the close path and what was left behind.
    void walk(int defaultSteps);

private:
    void step();
    void checkAfterStep();
    void closeAndCheck();
    void act(const std::string& name, const std::function<void()>& action);
    QJsonObject ask(const QJsonObject& request);
    void operatorConnects(const std::function<void()>& action);
    // Phones on the page: come, tap, go.
    struct Page;
    void openPage(bool asOperator);
    void tapPage(Page& page, const QJsonObject& request);
    void closePages();
    void startPage();
    void watchTheLoop();
    std::string trail() const;

    std::uint64_t m_seed = 0;
    std::mt19937_64 m_random;
    std::mt19937_64 m_boxMoments;
    int m_step = 0;
    std::deque<std::string> m_lastSteps;
    QTemporaryDir m_dir;
    QString m_link;
    QString m_previousDir;
    std::unique_ptr<LineClient> m_client;
    int m_lost = 0;               // links the panel took for lost
    bool m_wantConnected = false; // the operator's last word, which a reconnect keeps
    std::vector<int> m_enabledAtStart;
    QByteArray m_savedConfig;
    QByteArray m_savedData;
    std::vector<std::unique_ptr<Page>> m_pages;
    int m_nextRequest = 0;
    // The longest the window's loop went without a turn, as a figure.
    QTimer m_loopTick;
    QElapsedTimer m_sinceTick;
    qint64 m_longestStallMs = 0;
    std::string m_longestStallAt;
};

} // namespace glowdeck::test
