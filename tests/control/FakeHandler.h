#pragma once

#include "control/ControlHandler.h"

#include <QEventLoop>
#include <QJsonObject>
#include <QTimer>

#include <gtest/gtest.h>

#include <vector>

namespace glowdeck::test {

// Answers every request with {"cmd": name} (and the request's "id" as "seen"), at once or after
// a nested event loop as the panel's waits do, and notes any request handed over while another
// is still running.
class FakeHandler : public ControlHandler {
public:
    enum class Answer { AtOnce, AfterWait, Later };
    Answer answer = Answer::AtOnce;
    int waitMs = 1;
    std::vector<ControlRequest> handled;
    int overlaps = 0;
    bool running = false;
    Done pending; // Answer::Later: the test calls it

    void handle(const ControlRequest& request, Done done) override {
        if (running)
            ++overlaps;
        running = true;
        handled.push_back(request);
        QJsonObject reply{{QStringLiteral("cmd"),
                           QString::fromUtf8(ControlRequest::commandName(request.command))}};
        if (request.command == ControlRequest::Command::FactoryReset)
            reply.insert(QStringLiteral("error"), QStringLiteral("refused"));
        if (answer == Answer::Later) {
            pending = [this, done, reply](QJsonObject) {
                running = false;
                done(reply);
            };
            return;
        }
        if (answer == Answer::AfterWait) {
            QEventLoop loop;
            QTimer::singleShot(waitMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
            loop.exec();
        }
        running = false;
        done(reply);
    }
};

} // namespace glowdeck::test
