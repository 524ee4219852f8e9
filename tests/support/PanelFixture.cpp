#include "support/PanelFixture.h"

#include "res/Templates.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace glowdeck::test {

void BoxRecorder::show(const BoxRequest& request, std::function<void()> dismissed) {
    boxes.push_back(request);
    if (onBox)
        onBox(request);
    if (keepOpen)
        open.push_back(std::move(dismissed));
    else if (answerAfterMs && dismissed)
        QTimer::singleShot(answerAfterMs(), &m_answers, std::move(dismissed));
    else if (dismissed)
        dismissed();
}

void BoxRecorder::dismissAll() {
    for (const auto& dismissed : std::exchange(open, {}))
        if (dismissed)
            dismissed();
}

Services TestSystem::services() {
    return {[this] { return ports; }, [this] { return bus(); },
            [this](const BoxRequest& request, std::function<void()> dismissed) {
                if (boxes)
                    boxes->show(request, std::move(dismissed));
                else if (dismissed)
                    dismissed();
            },
            [this](QWidget*, std::function<void(std::optional<Colour>)> picked) {
                picked(pickColour());
            },
            [this](QWidget* owner, const QString& name,
                   std::function<void(std::optional<QString>)> chosen) {
                chosen(chooseSaveFile(owner, name));
            }};
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
                               const std::function<void()>& steps) {
    clickButton(openButtonId);
    ASSERT_TRUE(dialog.isVisible()) << "the dialog did not open";
    steps();
    // A dialog whose request still runs ends once it is over.
    if (dialog.isVisible())
        dialog.reject();
    settle();
    EXPECT_TRUE(waitFor([&] { return !dialog.isVisible(); })) << "the dialog stayed open";
}

} // namespace glowdeck::test
