#include "link/PumpedWait.h"

#include "link/AppLifetime.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>

#include <vector>

namespace glowdeck {

namespace {
enum class LoopKind { Wait, Modal };

struct WaitFrame {
    LoopKind kind;
    QEventLoop* loop;
};

std::vector<WaitFrame>& loops() {
    static std::vector<WaitFrame> stack;
    return stack;
}
int g_depth = 0;
bool g_abandoned = false;

// During a wait Tab moves no focus, and Enter on a default push button presses nothing: those
// keys are the dialog's, and no dialog handles keys during a wait.
class TabGuard : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && PumpedWait::dialogKeysBlocked()) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
                return true;
            if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
                qobject_cast<QPushButton*>(watched))
                return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

TabGuard& tabGuard() {
    static TabGuard guard;
    return guard;
}
} // namespace

void PumpedWait::wait(int milliseconds) {
    waitUntil(milliseconds, {});
}

bool PumpedWait::waitUntil(int milliseconds, const std::function<bool()>& done) {
    auto isDone = [&done] { return done && done(); };
    if (AppLifetime::mainWindowGone() || milliseconds <= 0 || isDone())
        return isDone();
    const qint64 wanted = qint64(milliseconds) * 1000000;
    QElapsedTimer elapsed;
    elapsed.start();
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);

    if (g_depth++ == 0) {
        g_abandoned = false;
        QCoreApplication::instance()->installEventFilter(&tabGuard());
    }
    loops().push_back({LoopKind::Wait, &loop});
    for (qint64 left = wanted - elapsed.nsecsElapsed(); left > 0 && !g_abandoned && !isDone();
         left = wanted - elapsed.nsecsElapsed()) {
        timer.start(int((left + 999999) / 1000000));
        loop.exec();
    }
    loops().pop_back();
    if (--g_depth == 0)
        QCoreApplication::instance()->removeEventFilter(&tabGuard());
    return isDone();
}

void PumpedWait::wake() {
    for (const WaitFrame& frame : loops())
        if (frame.loop)
            frame.loop->quit();
}

int PumpedWait::depth() {
    return g_depth;
}

bool PumpedWait::dialogKeysBlocked() {
    return !loops().empty() && loops().back().kind == LoopKind::Wait;
}

void PumpedWait::abandonAll() {
    if (g_depth == 0)
        return;
    g_abandoned = true;
    for (const WaitFrame& frame : loops())
        if (frame.loop)
            frame.loop->quit();
}

PumpedWait::ModalScope::ModalScope() {
    loops().push_back({LoopKind::Modal, nullptr});
}
PumpedWait::ModalScope::~ModalScope() {
    loops().pop_back();
}

} // namespace glowdeck
