#pragma once

#include "support/PanelFixture.h"

#include "control/LineClient.h"

#include <QTemporaryDir>

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
};

} // namespace glowdeck::test
