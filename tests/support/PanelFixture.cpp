#include "support/PanelFixture.h"

#include "res/Templates.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace glowdeck::test {

void BoxRecorder::show(const BoxRequest& request) {
    boxes.push_back(request);
    if (onBox)
        onBox(request);
}

Services TestSystem::services() {
    return {[this] { return ports; }, [this] { return bus(); },
            [this](const BoxRequest& request) {
                if (boxes)
                    boxes->show(request);
            },
            [this] { return pickColour(); },
            [this](QWidget* owner, const QString& name) { return chooseSaveFile(owner, name); }};
}

std::vector<QString> BoxRecorder::texts() const {
    std::vector<QString> result;
    for (const BoxRequest& b : boxes)
        result.push_back(b.text);
    return result;
}

void BoxRecorder::expectOnly(const QString& text, const QString& title, BoxIcon icon,
                             const QWidget* owner) const {
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, text);
    EXPECT_EQ(boxes[0].title, title);
    EXPECT_EQ(boxes[0].icon, icon);
    EXPECT_EQ(boxes[0].owner, owner);
}

void PanelFixture::SetUp() {
    ASSERT_TRUE(table.start());
    app = std::make_unique<CGlowdeckApp>(system.services());
    startWindow({QString::fromStdString(table.devicePath())});
}

void PanelFixture::startWindow(const QStringList& firstPorts) {
    window.reset();
    window = app->makeMainWindow(firstPorts);
    app->setMainWindow(window.get());
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
}

void PanelFixture::restartProgram(const QStringList& firstPorts) {
    window.reset();
    app = std::make_unique<CGlowdeckApp>(system.services());
    startWindow(firstPorts);
}

void PanelFixture::closeWindow() {
    if (!window || !window->isVisible())
        return;
    window->close();
    EXPECT_TRUE(waitFor([this] { return !window->isVisible(); })) << "the window did not close";
}

void PanelFixture::TearDown() {
    closeWindow();
    window.reset();
    app.reset();
    table.stop();
}

bool PanelFixture::waitFor(const std::function<bool()>& condition, int timeoutMs) {
    return QTest::qWaitFor(condition, timeoutMs);
}

void PanelFixture::settle(int timeoutMs) {
    EXPECT_TRUE(waitFor(
        [this] { return app->panel().runner().running() == 0 && !app->connection().opening(); },
        timeoutMs))
        << "still running";
}

void PanelFixture::clickButton(int id) {
    auto* button = control<QPushButton>(id);
    ASSERT_NE(button, nullptr) << id;
    button->click();
    settle();
}

void PanelFixture::injectFaults() {
    app->connection().setPortFactory(FaultyPort::factory(faults));
}

void PanelFixture::connectTable() {
    clickButton(IDC_CONNECT);
    ASSERT_TRUE(app->connection().connected()) << "boxes: " << recorder.boxes.size();
    ASSERT_TRUE(logContains("Connection Successful\r\n\r\n"));
}

std::vector<Bytes> PanelFixture::tableFrames() const {
    std::vector<Bytes> frames;
    for (const auto& f : table.frames())
        frames.push_back(f.bytes);
    return frames;
}

Bytes PanelFixture::lastFrame() const {
    auto frames = table.frames();
    return frames.empty() ? Bytes{} : frames.back().bytes;
}

bool PanelFixture::waitForFrames(std::size_t count, int timeoutMs) const {
    return table.waitForFrames(count, timeoutMs);
}

QString PanelFixture::status() const {
    return control<QLabel>(IDC_STATUS)->text();
}

void PanelFixture::typeLine(const QString& line) {
    auto* prompt = control<QLineEdit>(IDC_PROMPT);
    prompt->setFocus();
    prompt->setText(line);
    QTest::keyClick(prompt, Qt::Key_Return);
    settle();
}

void PanelFixture::runInDialog(QDialog& dialog, int openButtonId,
                               const std::function<void()>& steps, int watchdogMs) {
    bool ran = false;
    // Queued on an object of this call: if the dialog never opens, the call is dropped with it
    // rather than left to run later against locals that are gone.
    QObject thisCall;
    QMetaObject::invokeMethod(
        &thisCall,
        [&] {
            steps();
            ran = true;
            if (dialog.isVisible())
                dialog.reject();
        },
        Qt::QueuedConnection);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &dialog, [&dialog] { dialog.reject(); });
    watchdog.start(watchdogMs);
    clickButton(openButtonId);
    EXPECT_TRUE(ran) << "the dialog did not open";
    EXPECT_TRUE(!ran || watchdog.isActive()) << "the dialog was ended by the watchdog";
    EXPECT_FALSE(dialog.isVisible());
    if (dialog.isVisible())
        dialog.reject();
}

} // namespace glowdeck::test
