#include "support/PanelWalk.h"

#include "control/ControlClients.h"
#include "debugger/CDebugger.h"
#include "link/Reconnector.h"
#include "protocol/CommandSet.h"
#include "res/Templates.h"
#include "settings/CSettingsDlg.h"
#include "web/WebServer.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTimer>
#include <QWebSocket>

#include <iostream>
#include <map>

#include <unistd.h>

using namespace std::chrono_literals;

namespace glowdeck::test {

namespace {
qsizetype openDescriptors() {
    return QDir("/proc/self/fd").entryList(QDir::NoDotAndDotDot).size();
}
qsizetype threads() {
    return QDir("/proc/self/task").entryList(QDir::NoDotAndDotDot).size();
}
// Resident memory in MiB.
long residentMiB() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * ::sysconf(_SC_PAGESIZE) / (1024 * 1024) : 0;
}
constexpr std::size_t kMostPages = 6;

std::uint64_t fromEnvironment(const char* name, std::uint64_t otherwise) {
    bool ok = false;
    const std::uint64_t value = qEnvironmentVariable(name).toULongLong(&ok);
    return ok && value > 0 ? value : otherwise;
}

const int kWindowControls[] = {IDC_PORT_LIST,    IDC_MODE_LIST,     IDC_UNDERLIGHT_MANUAL,
                               IDC_SIGNS_MANUAL, IDC_TEAM1_CUP_ON,  IDC_TEAM1_CUP_OFF,
                               IDC_TEAM2_CUP_ON, IDC_TEAM2_CUP_OFF, IDC_CONNECT,
                               IDC_CLEAR,        IDC_SETTINGS,      IDC_DEBUG,
                               IDC_PROMPT};
} // namespace

struct PanelWalk::Page {
    QWebSocket socket;
    bool asOperator = false;
    bool welcomed = false;
    bool closed = false;
    std::map<int, QJsonObject> replies; // by request id
};

PanelWalk::PanelWalk() = default;
PanelWalk::~PanelWalk() = default;

void PanelWalk::SetUp() {
    PanelFixture::SetUp();
    m_seed = fromEnvironment("GLOWDECK_WALK_SEED", std::random_device{}() | 1u);
    m_random.seed(m_seed);
    // Boxes are answered at moments of their own, a while after they open, from the loop; their
    // own generator leaves the steps as the seed has them.
    m_boxMoments.seed(m_seed ^ 0xb0c5u);
    recorder.answerAfterMs = [this] { return int(m_boxMoments() % 400); };
    std::cerr << "walk seed " << m_seed << " (GLOWDECK_WALK_SEED=" << m_seed << " replays it)\n";
    ASSERT_TRUE(m_dir.isValid());
    // Dumps are kept in the folder the panel runs in.
    m_previousDir = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
    m_link = m_dir.filePath(QStringLiteral("table"));

    sim::SimOptions options = fastTable();
    options.chatterUs = 20'000;
    options.seed = m_seed;
    options.linkPath = m_link.toStdString();
    options.returnAfterMs = 200;
    table.setOptions(options);
    ASSERT_EQ(::symlink(table.devicePath().c_str(), QFile::encodeName(m_link).constData()), 0);

    app->panel().reconnector().setEnabled(true);
    app->panel().reconnector().setSchedule(ReconnectSchedule({50ms}));
    QObject::connect(&app->connection(), &Connection::connectionLost, [this] { ++m_lost; });
    control<QComboBox>(IDC_PORT_LIST)->setEditText(m_link);

    const QString socket = m_dir.filePath(QStringLiteral("control"));
    ASSERT_TRUE(app->panel().startControl(socket, *app));
    m_client = std::make_unique<LineClient>(socket);
    ASSERT_TRUE(waitFor([this] { return m_client->connected(); }));
    startPage();
    watchTheLoop();
    for (int id : kWindowControls)
        if (window->control<QWidget>(id)->isEnabled())
            m_enabledAtStart.push_back(id);
}

void PanelWalk::TearDown() {
    m_loopTick.stop();
    m_pages.clear();
    m_client.reset();
    PanelFixture::TearDown();
    QDir::setCurrent(m_previousDir);
    qputenv("XDG_CONFIG_HOME", m_savedConfig);
    qputenv("XDG_DATA_HOME", m_savedData);
}

void PanelWalk::startPage() {
    // The page's keys and dumps in the walk's own folder.
    m_savedConfig = qgetenv("XDG_CONFIG_HOME");
    m_savedData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("data"))));
    const std::optional<WebEndpoint> endpoint =
        WebEndpoint::parse(QStringLiteral("127.0.0.1:0"), nullptr);
    ASSERT_TRUE(endpoint && app->panel().startWeb(*endpoint, false, *app)) << log();
}

void PanelWalk::watchTheLoop() {
    m_loopTick.setInterval(5);
    QObject::connect(&m_loopTick, &QTimer::timeout, [this] {
        if (m_sinceTick.isValid() && m_sinceTick.elapsed() - 5 > m_longestStallMs) {
            m_longestStallMs = m_sinceTick.elapsed() - 5;
            m_longestStallAt = m_lastSteps.empty() ? std::string() : m_lastSteps.back();
        }
        m_sinceTick.start();
    });
    m_loopTick.start();
}

void PanelWalk::openPage(bool asOperator) {
    if (m_pages.size() >= kMostPages)
        m_pages.erase(m_pages.begin());
    auto page = std::make_unique<Page>();
    Page& p = *page;
    p.asOperator = asOperator;
    const QString link =
        app->panel().web()->link(asOperator ? ControlRole::Operator : ControlRole::Guest);
    const QString key = link.section(QStringLiteral("#key="), 1);
    QObject::connect(&p.socket, &QWebSocket::connected, &p.socket, [&p, key] {
        p.socket.sendTextMessage(
            QString::fromUtf8(QJsonDocument(QJsonObject{{"cmd", "hello"}, {"key", key}})
                                  .toJson(QJsonDocument::Compact)));
    });
    QObject::connect(
        &p.socket, &QWebSocket::textMessageReceived, &p.socket, [&p](const QString& text) {
            const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
            if (!p.welcomed && message.value(QStringLiteral("ok")).toBool())
                p.welcomed = true;
            if (message.contains(QStringLiteral("id")))
                p.replies[message.value(QStringLiteral("id")).toInt()] = message;
        });
    QObject::connect(&p.socket, &QWebSocket::disconnected, &p.socket, [&p] { p.closed = true; });
    p.socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(app->panel().web()->port())));
    m_pages.push_back(std::move(page));
    ASSERT_TRUE(waitFor([&p] { return p.welcomed || p.closed; }, 10000))
        << "a page was neither welcomed nor turned away; " << trail();
    ASSERT_TRUE(p.welcomed) << "a page was turned away with only " << m_pages.size() << " open; "
                            << trail();
}

void PanelWalk::closePages() {
    m_pages.clear();
    // Only the script's own connection is left once the panel has seen every phone go.
    ASSERT_TRUE(waitFor([this] { return app->panel().clients()->count() == 1; })) << trail();
}

void PanelWalk::tapPage(Page& page, const QJsonObject& request) {
    const int id = ++m_nextRequest;
    QJsonObject withId = request;
    withId.insert(QStringLiteral("id"), id);
    page.socket.sendTextMessage(
        QString::fromUtf8(QJsonDocument(withId).toJson(QJsonDocument::Compact)));
    ASSERT_TRUE(waitFor([&] { return page.replies.count(id) > 0 || page.closed; }, 20000))
        << "a page's tap was never answered; " << trail();
    ASSERT_FALSE(page.closed) << "the page was closed while it waited; " << trail();
    // Guests play with the lights; what an operator alone may do is refused them.
    const bool guestActs =
        !page.asOperator && request.value(QStringLiteral("cmd")) == QStringLiteral("prompt");
    ASSERT_TRUE(!guestActs || page.replies[id].contains(QStringLiteral("error")))
        << "a guest acted as an operator; " << trail();
}

std::string PanelWalk::trail() const {
    std::string text = "seed " + std::to_string(m_seed) +
                       " (GLOWDECK_WALK_SEED=" + std::to_string(m_seed) + "), step " +
                       std::to_string(m_step) + ", the last steps:";
    for (const std::string& s : m_lastSteps)
        text += "\n  " + s;
    return text;
}

void PanelWalk::act(const std::string& name, const std::function<void()>& action) {
    m_lastSteps.push_back(std::to_string(m_step) + " " + name);
    if (m_lastSteps.size() > 20)
        m_lastSteps.pop_front();
    action();
}

QJsonObject PanelWalk::ask(const QJsonObject& request) {
    const QJsonObject reply = m_client->ask(request, 20000);
    EXPECT_NE(reply, (QJsonObject{{"error", "no reply"}})) << trail();
    return reply;
}

// The operator's word on the link: what holds after it, a reconnect attempt included, is what
// the panel must keep.
void PanelWalk::operatorConnects(const std::function<void()>& action) {
    action();
    settle();
    m_wantConnected = app->connection().connected() || app->panel().reconnector().running();
}

void PanelWalk::step() {
    auto pick = [this](int n) { return int(m_random() % std::uint64_t(n)); };
    switch (pick(17)) {
    case 0:
        act("press Connect/Disconnect", [this] {
            operatorConnects([this] { control<QAbstractButton>(IDC_CONNECT)->click(); });
        });
        break;
    case 1: {
        const int mode = pick(control<QComboBox>(IDC_MODE_LIST)->count());
        act("choose mode " + std::to_string(mode), [this, mode] {
            control<QComboBox>(IDC_MODE_LIST)->setCurrentIndex(mode);
            settle();
        });
        break;
    }
    case 2: {
        const int button = std::vector<int>{
            IDC_TEAM1_CUP_ON,  IDC_TEAM1_CUP_OFF,     IDC_TEAM2_CUP_ON,
            IDC_TEAM2_CUP_OFF, IDC_UNDERLIGHT_MANUAL, IDC_SIGNS_MANUAL}[std::size_t(pick(6))];
        act("click " + std::to_string(button), [this, button] {
            QTest::mouseClick(control<QWidget>(button), Qt::LeftButton);
            settle();
        });
        break;
    }
    case 3: {
        static const char* lines[] = {"%VERSION:READ", "%CMD:STEP",     "%CMD:CANCEL",
                                      "%CMD:QC_TEST",  "not a command", "%DEBUG:ENABLE"};
        const std::string line = lines[pick(6)];
        act("type " + line, [this, line] { typeLine(QString::fromStdString(line)); });
        break;
    }
    case 4:
        act("type %CMD:RESET",
            [this] { operatorConnects([this] { typeLine(QStringLiteral("%CMD:RESET")); }); });
        break;
    case 5: {
        const int which = pick(4);
        act("script request " + std::to_string(which), [this, which] {
            const QJsonObject requests[] = {
                {{"cmd", "status"}},
                {{"cmd", "mode"}, {"mode", 1 + which}},
                {{"cmd", "cup"}, {"team", 2}, {"state", "on"}, {"colour", "#FF0000"}},
                {{"cmd", "prompt"}, {"text", "%CMD:STEP"}}};
            ask(requests[which]);
        });
        break;
    }
    case 6:
        act("script connect", [this] {
            operatorConnects([this] { ask({{"cmd", "connect"}, {"port", m_link}}); });
        });
        break;
    case 7:
        act("script disconnect", [this] {
            operatorConnects([this] { ask({{"cmd", "disconnect"}}); });
        });
        break;
    case 8: {
        const int back = 20 + pick(400);
        act("table drops, back in " + std::to_string(back) + " ms", [this, back] {
            sim::SimOptions o = table.options();
            o.returnAfterMs = back;
            table.setOptions(o);
            table.hangUp();
        });
        break;
    }
    case 9: {
        const int in = pick(30);
        act("table drops in " + std::to_string(in) + " ms, during the next step",
            [this, in] { QTimer::singleShot(in, window.get(), [this] { table.hangUp(); }); });
        break;
    }
    case 10: {
        const int how = pick(5);
        static const char* names[] = {"calm", "answers late", "answers twice",
                                      "drops in the middle of an answer",
                                      "drops after a mode command"};
        const int delay = 50 + pick(200);
        const int cut = pick(2000);
        const int after = pick(50);
        act(std::string("table ") + names[how], [=, this] {
            sim::SimOptions o = table.options();
            o.answerDelayMs = how == 1 ? delay : 0;
            o.answerTwice = how == 2;
            o.dropInAnswerAfter = how == 3 ? cut : -1;
            o.dropAfterCode = how == 4 ? CMD_SET_MODE : -1;
            o.dropAfterMs = after;
            o.stallMs = how == 1 ? 100 : 0;
            o.stallEveryMs = 300;
            table.setOptions(o);
        });
        break;
    }
    case 11:
        act("settings: dump the EEPROM", [this] {
            // Without a link the button only says so.
            if (!app->connection().connected())
                return clickButton(IDC_SETTINGS);
            runInDialog(app->settings(), IDC_SETTINGS, [this] {
                app->settings().control<QAbstractButton>(IDC_SET_DUMP_EEPROM)->click();
                waitFor([this] { return app->panel().runner().running() == 0; }, 15000);
            });
        });
        break;
    case 12:
        act("debugger: step mode and next", [this] {
            typeLine(QStringLiteral("%DEBUG:ENABLE"));
            if (!app->connection().connected())
                return clickButton(IDC_DEBUG);
            runInDialog(app->debugger(), IDC_DEBUG, [this] {
                app->debugger().control<QAbstractButton>(IDC_DBG_STEP_MODE)->click();
                waitFor([this] { return !waiting(); });
                app->debugger().control<QAbstractButton>(IDC_DBG_NEXT)->click();
                waitFor([this] { return !waiting(); });
            });
        });
        break;
    case 13: {
        const bool asOperator = pick(3) != 0;
        act(asOperator ? "page: an operator's phone opens it" : "page: a guest's phone opens it",
            [this, asOperator] { openPage(asOperator); });
        break;
    }
    case 14: {
        if (m_pages.empty())
            break;
        Page& page = *m_pages[std::size_t(pick(int(m_pages.size())))];
        const int which = pick(4);
        const int team = 1 + pick(2);
        act("page: tap " + std::to_string(which) + (page.asOperator ? " (operator)" : " (guest)"),
            [this, &page, which, team] {
                const QJsonObject taps[] = {
                    {{"cmd", "status"}},
                    {{"cmd", "mode"}, {"mode", 5 + team}},
                    {{"cmd", "cup"}, {"team", team}, {"state", "off"}, {"colour", "#00FF80"}},
                    {{"cmd", "prompt"}, {"text", "%VERSION:READ"}}};
                tapPage(page, taps[which]);
            });
        break;
    }
    case 15: {
        if (m_pages.empty())
            break;
        const std::size_t which = std::size_t(pick(int(m_pages.size())));
        const int how = pick(3);
        static const char* ways[] = {"closes it", "drops off", "drops off in the middle of a tap"};
        act(std::string("page: a phone ") + ways[how], [this, which, how] {
            QWebSocket& socket = m_pages[which]->socket;
            if (how == 2)
                socket.sendTextMessage(QStringLiteral(R"({"cmd":"mode","mode":2,"id":0})"));
            if (how == 0)
                socket.close();
            else
                socket.abort();
            m_pages.erase(m_pages.begin() + std::ptrdiff_t(which));
        });
        break;
    }
    default:
        act("script status", [this] { ask({{"cmd", "status"}}); });
        break;
    }
}

// What must hold after every step.
void PanelWalk::checkAfterStep() {
    settle();
    ASSERT_FALSE(waiting()) << "a wait was left behind; " << trail();
    ASSERT_EQ(table.malformed(), 0) << "the table got bytes that are no frame; " << trail();
    ASSERT_LE(m_lost, table.drops()) << "a link taken for lost that the table kept; " << trail();
    ASSERT_TRUE(window->isEnabled()) << trail();
    for (int id : m_enabledAtStart)
        ASSERT_TRUE(window->control<QWidget>(id)->isEnabled())
            << id << " left disabled; " << trail();
    if (m_wantConnected) {
        // A drop is noticed and mended: the panel is connected to the table as it is now, not
        // to a device that has gone.
        ASSERT_TRUE(waitFor(
            [this] { return app->connection().connected() && table.programOnLink(); }, 8000))
            << "not reconnected: connected " << app->connection().connected() << ", reconnecting "
            << app->panel().reconnector().running() << "; " << trail();
        settle();
    }
}

void PanelWalk::closeAndCheck() {
    table.setOptions([this] {
        sim::SimOptions o = table.options();
        o.answerDelayMs = 0;
        o.answerTwice = false;
        o.dropInAnswerAfter = -1;
        o.dropAfterCode = -1;
        o.stallMs = 0;
        return o;
    }());
    ASSERT_TRUE(waitFor([this] { return table.programOnLink() || !m_wantConnected; }, 8000));
    if (!app->connection().connected())
        operatorConnects([this] { control<QAbstractButton>(IDC_CONNECT)->click(); });
    ASSERT_TRUE(app->connection().connected()) << trail();
    const std::size_t framesBefore = table.frames().size();
    closeWindow();
    // The goodbye is the last thing the table hears.
    ASSERT_TRUE(waitForFrames(framesBefore + 1)) << trail();
    EXPECT_FALSE(waitFor([&] { return table.frames().size() > framesBefore + 1; }, 300)) << trail();
    EXPECT_EQ(table.frames().back().code, CMD_EXIT) << trail();
}

void PanelWalk::walk(int defaultSteps) {
    const int steps = int(fromEnvironment("GLOWDECK_WALK_STEPS", std::uint64_t(defaultSteps)));
    // A first connection and a drop that is mended, so that what Qt makes lazily is in place
    // before counting what is left behind.
    operatorConnects([this] { control<QAbstractButton>(IDC_CONNECT)->click(); });
    ASSERT_TRUE(m_wantConnected) << trail();
    table.hangUp();
    checkAfterStep();
    if (HasFailure())
        return;
    // A page opened and gone once, for the same reason.
    openPage(true);
    closePages();
    const qsizetype descriptorsBefore = openDescriptors();
    const qsizetype threadsBefore = threads();
    const long memoryBefore = residentMiB();

    for (m_step = 1; m_step <= steps; ++m_step) {
        step();
        checkAfterStep();
        if (HasFatalFailure() || HasFailure()) {
            ADD_FAILURE() << trail();
            return;
        }
    }
    // The same state as at the start of the count: connected to the table, nothing running.
    table.setOptions([this] {
        sim::SimOptions o = table.options();
        o.dropInAnswerAfter = -1;
        o.dropAfterCode = -1;
        return o;
    }());
    ASSERT_TRUE(waitFor([this] { return QFile::exists(m_link); })) << trail();
    if (!app->connection().connected())
        operatorConnects([this] { control<QAbstractButton>(IDC_CONNECT)->click(); });
    settle();
    // Every phone gone: its place is free again, and nothing of it stays.
    closePages();
    openPage(true);
    openPage(false);
    closePages();
    EXPECT_TRUE(waitFor([&] { return threads() == threadsBefore; })) << trail();
    EXPECT_EQ(threads(), threadsBefore) << trail();
    EXPECT_TRUE(waitFor([&] { return openDescriptors() == descriptorsBefore; })) << trail();
    EXPECT_EQ(openDescriptors(), descriptorsBefore) << trail();
    const long memoryAfter = residentMiB();
    std::cerr << "walk of " << steps << " steps: resident memory " << memoryBefore << " MiB, then "
              << memoryAfter << " MiB; the window's loop was held up " << m_longestStallMs
              << " ms at most (at " << m_longestStallAt << ")\n";
    // Bounded, not a time: a leak of a few kilobytes a step shows over a long walk.
    EXPECT_LT(memoryAfter - memoryBefore, 64 + steps / 50) << trail();
    closeAndCheck();
}

} // namespace glowdeck::test
