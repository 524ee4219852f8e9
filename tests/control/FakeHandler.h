#pragma once

#include "control/ControlHandler.h"
#include "control/RequestDecoder.h"

#include <QJsonObject>
#include <QTimer>

#include <gtest/gtest.h>

#include <vector>

namespace glowdeck::test {

// Answers every request with {"cmd": name}: one that only reads at once, as the panel does, the
// others at once, after a while, or when the test says; and notes any request that acts handed
// over while another is still running.
class FakeHandler : public ControlHandler {
public:
    enum class Answer { AtOnce, AfterWait, Later };
    Answer answer = Answer::AtOnce;
    int waitMs = 1;
    std::vector<ControlRequest> handled;
    int overlaps = 0;
    bool running = false;
    Done pending;          // Answer::Later: the test calls it
    QJsonObject readExtra; // added to the reply of a request that only reads

    void handle(const ControlRequest& request, Done done) override {
        if (request.readsOnly()) {
            handled.push_back(request);
            QJsonObject reply = readExtra;
            reply.insert(QStringLiteral("cmd"),
                         QString::fromUtf8(RequestDecoder::nameOf(request.command)));
            if (request.command == ControlRequest::Command::WebLink)
                reply = {{QStringLiteral("link"), QStringLiteral("http://192.0.2.1:8080/#key=k")}};
            done(reply);
            return;
        }
        if (running)
            ++overlaps;
        running = true;
        handled.push_back(request);
        QJsonObject reply{
            {QStringLiteral("cmd"), QString::fromUtf8(RequestDecoder::nameOf(request.command))}};
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
            QTimer::singleShot(waitMs, Qt::PreciseTimer, [this, done, reply] {
                running = false;
                done(reply);
            });
            return;
        }
        running = false;
        done(reply);
    }
};

} // namespace glowdeck::test
