// The page in a real browser (Debian's chromium, headless, at a phone's size) against the
// panel and the simulated table: what a tap does at the table, what a script changes on the
// page, and what a guest's page cannot do.
#include "support/Browser.h"
#include "support/ChildProcess.h"
#include "support/PanelFixture.h"

#include "control/ControlRequest.h"
#include "web/WebServer.h"

#include <QComboBox>
#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include "res/Templates.h"

using namespace glowdeck;
using namespace glowdeck::test;

namespace {
class WebPage : public PanelFixture {
protected:
    void SetUp() override {
        if (Browser::executable().isEmpty())
            GTEST_SKIP() << "chromium is not installed (scripts/install-deps.sh installs it)";
        PanelFixture::SetUp();
        m_started = true;
        ASSERT_TRUE(m_dir.isValid());
        m_savedConfig = qgetenv("XDG_CONFIG_HOME");
        m_savedData = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("data"))));
        m_socket = m_dir.filePath(QStringLiteral("control"));
        ASSERT_TRUE(app->panel().startControl(m_socket, *app));
        std::optional<WebEndpoint> endpoint =
            WebEndpoint::parse(QStringLiteral("127.0.0.1:0"), nullptr);
        ASSERT_TRUE(app->panel().startWeb(*endpoint, false, *app)) << log();
    }
    void TearDown() override {
        if (!m_started)
            return; // skipped before anything was set up
        qputenv("XDG_CONFIG_HOME", m_savedConfig);
        qputenv("XDG_DATA_HOME", m_savedData);
        PanelFixture::TearDown();
    }
    QString link(ControlRole role) const { return app->panel().web()->link(role); }
    void open(Browser& browser, const QString& url) {
        QString error;
        ASSERT_TRUE(browser.start(url, &error)) << error.toStdString();
    }
    // glowdeck-ctl as a script runs it; true when it ended with 0.
    bool ctl(const QStringList& words) {
        QProcess process;
        process.start(QStringLiteral(GLOWDECK_CTL),
                      QStringList{QStringLiteral("--socket"), m_socket} + words);
        waitFor([&] { return process.state() == QProcess::NotRunning; }, 15000);
        return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    bool m_started = false;
    QTemporaryDir m_dir;
    QByteArray m_savedConfig;
    QByteArray m_savedData;
    QString m_socket;
};

// Asks the panel through the page's own connection, as its buttons do; the reply.
QString ask(const char* request) {
    return QStringLiteral("new Promise((done) => ask(%1, done))").arg(QLatin1String(request));
}
} // namespace

TEST_F(WebPage, TheOperatorsTapReachesTheTableAndAScriptsColourReachesThePage) {
    Browser browser;
    open(browser, link(ControlRole::Operator));
    ASSERT_TRUE(browser.waitUntil(QStringLiteral("document.body.dataset.role === 'operator'")));
    EXPECT_TRUE(
        browser.evaluate(QStringLiteral("!$('operator').classList.contains('hidden')")).toBool());
    connectTable();
    ASSERT_TRUE(browser.waitUntil(QStringLiteral("$('link').textContent.startsWith('Connected')")));

    const std::size_t before = tableFrames().size();
    browser.evaluate(QStringLiteral("document.querySelector('#modes [data-mode=\"3\"]').click()"));
    // The table's own wait does not run the panel's events, which carry the page's request.
    ASSERT_TRUE(waitFor([&] { return tableFrames().size() > before; }));
    EXPECT_EQ(lastFrame(), (Bytes{0x00, 0x3C, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(control<QComboBox>(IDC_MODE_LIST)->currentIndex(), 3) << "the window follows";
    EXPECT_TRUE(browser.waitUntil(QStringLiteral("$('modeName').textContent === 'Rave Mode'")));

    ASSERT_TRUE(ctl({QStringLiteral("signs"), QStringLiteral("manual"), QStringLiteral("on")}));
    ASSERT_TRUE(ctl({QStringLiteral("signs"), QStringLiteral("2"), QStringLiteral("#0040ff")}));
    EXPECT_TRUE(browser.waitUntil(QStringLiteral("$('signs2').dataset.colour === '#0040FF'")));
    EXPECT_TRUE(
        browser.evaluate(QStringLiteral("$('signsManual').classList.contains('on')")).toBool());

    // The README's picture of the page.
    if (const QByteArray shot = qgetenv("GLOWDECK_WEB_SCREENSHOT"); !shot.isEmpty())
        browser.screenshot(QString::fromLocal8Bit(shot));

    // A refusal shows the window's words on the page.
    browser.evaluate(QStringLiteral("document.querySelector('#modes [data-mode=\"0\"]').click()"));
    browser.evaluate(ask(R"({cmd: "cup", team: 1, state: "on", colour: "#FF0000"})"));
    EXPECT_TRUE(
        browser.waitUntil(QStringLiteral("$('refusal').textContent.includes('Custom Game Mode')")));
}

TEST_F(WebPage, AGuestsPageHasNoOperatorControlsAndThePanelRefusesThemToo) {
    connectTable();
    Browser browser;
    open(browser, link(ControlRole::Guest));
    ASSERT_TRUE(browser.waitUntil(QStringLiteral("document.body.dataset.role === 'guest'")));
    EXPECT_TRUE(browser.evaluate(QStringLiteral("$('operator').offsetParent === null")).toBool());
    EXPECT_TRUE(browser.evaluate(QStringLiteral("$('qr').offsetParent === null")).toBool());

    const std::size_t before = tableFrames().size();
    for (const char* request : {R"({cmd: "disconnect"})", R"({cmd: "prompt", text: "%CMD:STEP"})",
                                R"({cmd: "factory-reset"})", R"({cmd: "ports"})"}) {
        const QJsonObject reply = browser.evaluate(ask(request)).toObject();
        EXPECT_EQ(reply[QStringLiteral("ok")], false) << request;
        EXPECT_TRUE(reply[QStringLiteral("error")].toString().contains(QStringLiteral("operator")))
            << request;
    }
    EXPECT_EQ(tableFrames().size(), before);
    EXPECT_TRUE(app->panel().connection().connected());

    // What a guest may do: the custom game's cup colour, tapped.
    browser.evaluate(QStringLiteral("document.querySelector('#modes [data-mode=\"9\"]').click()"));
    ASSERT_TRUE(
        browser.waitUntil(QStringLiteral("$('modeName').textContent === 'Custom Game Mode'")));
    browser.evaluate(
        QStringLiteral("$('cupOff2').click(); "
                       "document.querySelector('#swatches [data-colour=\"#FF0000\"]').click()"));
    EXPECT_TRUE(browser.waitUntil(QStringLiteral("$('cupOff2').dataset.colour === '#FF0000'")));
    EXPECT_EQ(app->panel().lighting().cupColours[3], makeColour(255, 0, 0));
}

TEST_F(WebPage, ADumpFromThePageGoesToThePanelsFolderAndThePageDownloadsIt) {
    connectTable();
    Browser browser;
    open(browser, link(ControlRole::Operator));
    ASSERT_TRUE(browser.waitUntil(QStringLiteral("document.body.dataset.role === 'operator'")));
    const QString elsewhere = m_dir.filePath(QStringLiteral("bashrc"));
    const QJsonObject refused =
        browser
            .evaluate(
                ask(qPrintable(QStringLiteral(R"({cmd: "dump", path: "%1"})").arg(elsewhere))))
            .toObject();
    EXPECT_EQ(refused[QStringLiteral("ok")], false);
    EXPECT_FALSE(QFile::exists(elsewhere));
    EXPECT_TRUE(tableFrames().empty()) << "refused before the table is asked";

    const QJsonObject reply = browser.evaluate(ask(R"({cmd: "dump"})")).toObject();
    ASSERT_EQ(reply[QStringLiteral("ok")], true);
    const QString path = reply[QStringLiteral("path")].toString();
    EXPECT_TRUE(path.startsWith(m_dir.filePath(QStringLiteral("data/glowdeck/dumps/EEPROM_Dump-"))))
        << path.toStdString();
    EXPECT_TRUE(QFile::exists(path));
    const QString download = reply[QStringLiteral("download")].toString();
    ASSERT_TRUE(download.startsWith(QStringLiteral("/dumps/")));
    const QString csv =
        browser.evaluate(QStringLiteral("fetch('%1').then((r) => r.text())").arg(download))
            .toString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.toLatin1(), file.readAll());
    EXPECT_TRUE(csv.startsWith(QStringLiteral("Address,Value")));
}

TEST_F(WebPage, AWrongKeyAndAnotherSitesScriptAreTurnedAway) {
    Browser browser;
    QString url = link(ControlRole::Guest);
    url.replace(QStringLiteral("#key="), QStringLiteral("#key=x"));
    open(browser, url);
    EXPECT_TRUE(
        browser.waitUntil(QStringLiteral("$('problem').textContent.includes('wrong key')")));
    EXPECT_TRUE(
        browser.evaluate(QStringLiteral("document.body.dataset.role === undefined")).toBool());

    // A page of another origin (here the browser's blank page) that knows the address.
    Browser other;
    open(other, QStringLiteral("about:blank"));
    const QString ws = QStringLiteral("ws://127.0.0.1:%1/ws").arg(app->panel().web()->port());
    const QString attempt =
        QStringLiteral("new Promise((done) => { const s = new WebSocket('%1'); "
                       "s.onopen = () => done('open'); s.onclose = () => done('refused'); })")
            .arg(ws);
    EXPECT_EQ(other.evaluate(attempt).toString(), QStringLiteral("refused"));
}

TEST(WebPageRestart, ThePageComesBackByItselfWhenThePanelStartsAgain) {
    if (Browser::executable().isEmpty())
        GTEST_SKIP() << "chromium is not installed (scripts/install-deps.sh installs it)";
    QTemporaryDir config;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), config.path());
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    QByteArray said;
    const auto start = [&](QProcess& panel) {
        panel.setProcessEnvironment(environment);
        panel.start(QStringLiteral(GLOWDECK_PANEL),
                    {QStringLiteral("--headless"), QStringLiteral("--simulate"),
                     QStringLiteral("--web"), QStringLiteral("127.0.0.1:%1").arg(port)});
        return QTest::qWaitFor(
            [&] {
                said += panel.readAllStandardError();
                return said.contains("guests: ") && said.endsWith('\n');
            },
            10000);
    };
    QProcess first;
    ASSERT_TRUE(start(first)) << said.toStdString();
    const QByteArray guest = said.mid(said.indexOf("guests: ") + 8).trimmed();
    Browser browser;
    QString error;
    ASSERT_TRUE(browser.start(QString::fromUtf8(guest), &error)) << error.toStdString();
    ASSERT_TRUE(browser.waitUntil(QStringLiteral("$('link').textContent.startsWith('Connected')")));

    stopProcess(first);
    EXPECT_TRUE(browser.waitUntil(QStringLiteral("$('link').textContent === 'Panel gone'")));
    said.clear();
    QProcess second;
    ASSERT_TRUE(start(second)) << said.toStdString();
    EXPECT_TRUE(
        browser.waitUntil(QStringLiteral("$('link').textContent.startsWith('Connected')"), 20000));
    stopProcess(second);
}

// Two panels of one user, each on its own socket: each has keys of its own, so a link reaches
// one table only; a second panel given the first one's page port ends at once and says why.
TEST(WebPageInstances, EachPanelHasItsOwnKeysAndAPortTakenIsSaid) {
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // As the service makes it before it starts a panel.
    ASSERT_TRUE(QDir().mkpath(home.filePath(QStringLiteral("glowdeck"))));
    QFile(home.filePath(QStringLiteral("glowdeck")))
        .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    quint16 ports[2] = {};
    {
        QTcpServer first, second;
        ASSERT_TRUE(first.listen(QHostAddress::LocalHost));
        ASSERT_TRUE(second.listen(QHostAddress::LocalHost));
        ports[0] = first.serverPort();
        ports[1] = second.serverPort();
    }
    const auto start = [&](QProcess& panel, const char* socket, quint16 port) {
        panel.setProcessEnvironment(environment);
        panel.start(QStringLiteral(GLOWDECK_PANEL),
                    {QStringLiteral("--headless"), QStringLiteral("--simulate"),
                     QStringLiteral("--control-socket"), home.filePath(QLatin1String(socket)),
                     QStringLiteral("--web"), QStringLiteral("127.0.0.1:%1").arg(port)});
    };
    const auto operatorKey = [](QProcess& panel) {
        QByteArray said;
        (void)QTest::qWaitFor(
            [&] {
                said += panel.readAllStandardError();
                return said.contains("guests: ") && said.endsWith('\n');
            },
            10000);
        const qsizetype at = said.indexOf("#key=");
        return at < 0 ? QByteArray() : said.mid(at + 5, said.indexOf('\n', at) - at - 5);
    };
    QProcess a, b, c;
    start(a, "glowdeck/table-a", ports[0]);
    start(b, "glowdeck/table-b", ports[1]);
    const QByteArray keyA = operatorKey(a), keyB = operatorKey(b);
    ASSERT_FALSE(keyA.isEmpty());
    ASSERT_FALSE(keyB.isEmpty());
    EXPECT_NE(keyA, keyB);
    EXPECT_TRUE(QFile::exists(home.filePath(QStringLiteral("config/glowdeck/web-keys-table-a"))));

    start(c, "glowdeck/table-c", ports[0]);
    ASSERT_TRUE(c.waitForFinished(10000));
    EXPECT_EQ(c.exitCode(), 1);
    const QByteArray why = c.readAllStandardError();
    EXPECT_TRUE(why.contains("port of its own")) << why.toStdString();
    stopProcess(a);
    stopProcess(b);
}
