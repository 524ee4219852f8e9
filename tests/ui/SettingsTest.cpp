#include "support/PanelFixture.h"

#include "protocol/CommandSet.h"
#include "res/BoxFeedback.h"
#include "res/MessageBoxes.h"
#include "res/Templates.h"
#include "settings/CSettingsDlg.h"
#include "support/ManualClock.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/fsuid.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <ostream>

using namespace glowdeck;
using namespace glowdeck::test;

namespace {

using Image = std::array<std::uint8_t, sim::SimulatedTable::kEepromSize>;

const Bytes kDump{0x00, 0x27};
const Bytes kExit{0x00, 0x2E};
const Bytes kEepromTest{0x00, 0x28, 0x00, 0x0A, 'Z', 'E', 'N', 'T', 'A'};
const QString kTimeoutText = QStringLiteral("Timeout Error - Please Try The Command Again");
const int kSendingButtons[] = {IDC_SET_SAVE_TEXT,    IDC_SET_SAVE_NAME, IDC_SET_TEST_EEPROM,
                               IDC_SET_DUMP_EEPROM,  IDC_SET_ERASE,     IDC_SET_FORMAT_EEPROM,
                               IDC_SET_FACTORY_RESET};

Bytes frame(std::uint16_t code, Bytes payload = {}) {
    payload.insert(payload.begin(), {std::uint8_t(code >> 8), std::uint8_t(code)});
    return payload;
}

Bytes textFrame(std::uint16_t code, const std::string& bytes, std::size_t field) {
    Bytes payload(bytes.begin(), bytes.end());
    payload.resize(field, 0);
    return frame(code, payload);
}

sim::SimOptions simOptions(bool fast, bool noDumpReply = false, long cutDumpAfter = -1) {
    sim::SimOptions options;
    options.fast = fast;
    options.noDumpReply = noDumpReply;
    options.cutDumpAfter = cutDumpAfter;
    return options;
}

Image patternImage(int seed) {
    Image image{};
    for (std::size_t a = 0; a < image.size(); ++a)
        image[a] = std::uint8_t((a * 31 + std::size_t(seed) * 7 + (a >> 9)) & 0xFF);
    return image;
}

// The file's bytes as the table's image must give them, built independently of the program.
QByteArray expectedCsv(const Image& image) {
    QByteArray csv("Address,Value\r\n");
    char row[16];
    for (std::size_t a = 0; a < image.size(); ++a) {
        std::snprintf(row, sizeof row, "0X%.4X,0X%.2X\r\n", unsigned(a), unsigned(image[a]));
        csv.append(row);
    }
    return csv;
}

// File permission checks as an ordinary user, even when the tests run as root.
class Unprivileged {
public:
    Unprivileged() : m_wasRoot(::geteuid() == 0) {
        if (m_wasRoot)
            ::setfsuid(65534);
    }
    ~Unprivileged() {
        if (m_wasRoot)
            ::setfsuid(0);
    }

private:
    bool m_wasRoot;
};

class Settings : public PanelFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_previousDir = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
        PanelFixture::SetUp();
        connectTable();
        app->log().clear();
    }
    void TearDown() override {
        PanelFixture::TearDown();
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir::setCurrent(m_previousDir);
    }

    CSettingsDlg& dlg() { return app->settings(); }
    template <class Widget> Widget* setControl(int id) { return dlg().control<Widget>(id); }
    void press(int id) {
        setControl<QPushButton>(id)->click();
        settle();
    }
    QString dumpPath() const { return m_dir.filePath(QStringLiteral("EEPROM_Dump.csv")); }
    QByteArray dumpFile() const {
        QFile file(dumpPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void writeOldFile(QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner) {
        QFile file(dumpPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kOldFile);
        file.close();
        ASSERT_TRUE(file.setPermissions(permissions));
    }
    // The frames since the given count, once `count` of them have arrived.
    std::vector<Bytes> framesFrom(std::size_t first, std::size_t count) {
        EXPECT_TRUE(waitForFrames(first + count, 1000)) << "expected " << count << " new frames";
        const auto all = tableFrames();
        return {all.begin() + std::ptrdiff_t(std::min(first, all.size())), all.end()};
    }

    // Opens the dialog through the main window's Settings button and takes the steps while it
    // is open. A dialog the steps leave open is ended.
    void runInSettings(const std::function<void()>& steps) {
        runInDialog(dlg(), IDC_SETTINGS, steps);
    }

    void expectIdleButtonsEnabled() {
        for (int id : kSendingButtons)
            EXPECT_TRUE(setControl<QPushButton>(id)->isEnabled()) << id;
    }
    void expectIdleButtons(bool adjusting) {
        EXPECT_FALSE(dlg().requestRunning());
        expectIdleButtonsEnabled();
        EXPECT_EQ(setControl<QPushButton>(IDC_SET_SAVE_SENSITIVITY)->isEnabled(), adjusting);
        EXPECT_EQ(setControl<QSlider>(IDC_SET_SENSITIVITY)->isEnabled(), adjusting);
    }

    void expectBox(std::size_t index, const QString& text, const QString& title, BoxIcon icon,
                   QWidget* owner) {
        ASSERT_GT(recorder.boxes.size(), index);
        const BoxRequest& box = recorder.boxes[index];
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.title, title);
        EXPECT_EQ(box.icon, icon);
        EXPECT_EQ(box.owner, owner);
    }

    const QByteArray kOldFile = "old dump\r\n";
    QTemporaryDir m_dir;
    QString m_previousDir;
};

TEST_F(Settings, EveryOpeningStartsFresh) {
    auto expectInitialState = [this] {
        EXPECT_EQ(dlg().windowTitle(), "Settings");
        // Modal to the main window, which takes no input meanwhile.
        EXPECT_EQ(dlg().windowModality(), Qt::WindowModal);
        EXPECT_EQ(dlg().windowHandle()->transientParent(), window->windowHandle());
        EXPECT_EQ(QApplication::activeModalWidget(), &dlg());
        EXPECT_TRUE(setControl<QLineEdit>(IDC_SET_SCROLLING_TEXT)->text().isEmpty());
        EXPECT_TRUE(setControl<QLineEdit>(IDC_SET_BLUETOOTH_NAME)->text().isEmpty());
        EXPECT_FALSE(setControl<QCheckBox>(IDC_SET_ADJUST_SENSITIVITY)->isChecked());
        auto* slider = setControl<QSlider>(IDC_SET_SENSITIVITY);
        EXPECT_EQ(slider->minimum(), 1);
        EXPECT_EQ(slider->maximum(), 10);
        EXPECT_EQ(slider->value(), 8);
        EXPECT_EQ(dlg().focusWidget(), setControl<QPushButton>(IDC_SET_EXIT));
        expectIdleButtons(false);
    };
    runInSettings([&] {
        expectInitialState();
        setControl<QLineEdit>(IDC_SET_SCROLLING_TEXT)->setText("hello");
        setControl<QLineEdit>(IDC_SET_BLUETOOTH_NAME)->setText("deck");
        setControl<QCheckBox>(IDC_SET_ADJUST_SENSITIVITY)->click();
        setControl<QSlider>(IDC_SET_SENSITIVITY)->setValue(3);
        setControl<QSlider>(IDC_SET_SENSITIVITY)->setFocus();
        press(IDC_SET_EXIT);
        EXPECT_FALSE(dlg().isVisible());
    });
    runInSettings(expectInitialState);
    EXPECT_TRUE(tableFrames().empty());
    EXPECT_TRUE(recorder.boxes.empty());
}

TEST_F(Settings, SensitivityFollowsTheCheckBoxAndOnlySaveSendsIt) {
    runInSettings([&] {
        auto* check = setControl<QCheckBox>(IDC_SET_ADJUST_SENSITIVITY);
        auto* slider = setControl<QSlider>(IDC_SET_SENSITIVITY);
        check->click();
        expectIdleButtons(true);
        press(IDC_SET_SAVE_SENSITIVITY);
        slider->setValue(3);
        press(IDC_SET_SAVE_SENSITIVITY);
        // Moving the slider sent nothing between the two saves.
        EXPECT_EQ(framesFrom(0, 2), (std::vector<Bytes>{{0x00, 0x3E, 8}, {0x00, 0x3E, 3}}));
        check->click();
        expectIdleButtons(false);
        EXPECT_EQ(slider->value(), 3);
    });
}

TEST_F(Settings, TextFieldsAreSentAsSingleBytesWithinTheirLimits) {
    const QString tooLongText =
        "Too many characters. Please shorten the message to less than 63 characters).";
    const QString tooLongName =
        "Too many characters. Please shorten the name to less than 10 characters).";
    struct Case {
        int edit;
        int save;
        QString text;
        Bytes expected; // empty: refused with a box, nothing sent
        QString box;
    };
    const std::string text62(62, 'T');
    const std::vector<Case> cases = {
        {IDC_SET_SCROLLING_TEXT,
         IDC_SET_SAVE_TEXT,
         QString(62, 'T'),
         textFrame(CMD_SET_SCROLLING_TEXT, text62, 64),
         {}},
        {IDC_SET_SCROLLING_TEXT, IDC_SET_SAVE_TEXT, QString(63, 'T'), {}, tooLongText},
        {IDC_SET_SCROLLING_TEXT,
         IDC_SET_SAVE_TEXT,
         "",
         textFrame(CMD_SET_SCROLLING_TEXT, "", 64),
         {}},
        {IDC_SET_SCROLLING_TEXT,
         IDC_SET_SAVE_TEXT,
         QString(62, QChar(0xE9)),
         textFrame(CMD_SET_SCROLLING_TEXT, std::string(62, '\xE9'), 64),
         {}},
        {IDC_SET_SCROLLING_TEXT, IDC_SET_SAVE_TEXT, QString::fromUtf8("5 \u20ac"), {}, {}},
        {IDC_SET_BLUETOOTH_NAME, IDC_SET_SAVE_NAME, QString(10, 'N'), {}, tooLongName},
        {IDC_SET_BLUETOOTH_NAME, IDC_SET_SAVE_NAME, QString::fromUtf8("D\u0117ck"), {}, {}},
    };
    runInSettings([&] {
        std::vector<Bytes> expectedFrames;
        for (const Case& c : cases) {
            SCOPED_TRACE(c.text.toStdString());
            recorder.boxes.clear();
            setControl<QLineEdit>(c.edit)->setText(c.text);
            press(c.save);
            if (!c.expected.empty()) {
                expectedFrames.push_back(c.expected);
                EXPECT_TRUE(recorder.boxes.empty());
                continue;
            }
            ASSERT_EQ(recorder.boxes.size(), 1u);
            EXPECT_EQ(recorder.boxes[0].title, "Error");
            EXPECT_EQ(recorder.boxes[0].icon, BoxIcon::Error);
            EXPECT_EQ(recorder.boxes[0].owner, &dlg());
            if (!c.box.isEmpty())
                EXPECT_EQ(recorder.boxes[0].text, c.box);
            else
                EXPECT_TRUE(recorder.boxes[0].text.contains("Latin-1"));
            EXPECT_EQ(setControl<QLineEdit>(c.edit)->text(), c.text);
        }
        // A last known frame: once it is in, every refused text would have arrived before it.
        press(IDC_SET_TEST_EEPROM);
        expectedFrames.push_back(kEepromTest);
        EXPECT_EQ(framesFrom(0, expectedFrames.size()), expectedFrames);
        EXPECT_TRUE(dlg().isVisible());
    });
}

TEST_F(Settings, EepromOperationsActOnTheFirstClick) {
    const std::pair<int, Bytes> cases[] = {
        {IDC_SET_TEST_EEPROM, kEepromTest},
        {IDC_SET_ERASE, {0x00, 0x37}},
        {IDC_SET_FORMAT_EEPROM, {0x00, 0x39}},
    };
    runInSettings([&] {
        for (const auto& [button, expected] : cases) {
            const std::size_t before = tableFrames().size();
            press(button);
            EXPECT_EQ(framesFrom(before, 1), std::vector<Bytes>{expected}) << button;
            expectIdleButtons(false);
        }
    });
    EXPECT_TRUE(recorder.boxes.empty());
}

TEST_F(Settings, EscapeEnterAndTabDuringASendsWaitDoNothing) {
    runInSettings([&] {
        auto* exit = setControl<QPushButton>(IDC_SET_EXIT);
        exit->setFocus();
        bool pressed = false;
        QTimer::singleShot(20, &dlg(), [&] {
            ASSERT_TRUE(waiting()) << "the keys came after the wait";
            QTest::keyClick(exit, Qt::Key_Tab);
            EXPECT_EQ(QApplication::focusWidget(), exit);
            QTest::keyClick(exit, Qt::Key_Return);
            QTest::keyClick(exit, Qt::Key_Escape);
            pressed = true;
        });
        press(IDC_SET_ERASE);
        ASSERT_TRUE(pressed);
        // Not even once the request is over: the keys were not kept for later.
        EXPECT_TRUE(dlg().isVisible());
        press(IDC_SET_FORMAT_EEPROM);
        EXPECT_EQ(framesFrom(0, 2), (std::vector<Bytes>{{0x00, 0x37}, {0x00, 0x39}}));
        EXPECT_TRUE(dlg().isVisible());
    });
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(recorder.boxes.empty());
}

// The two operations after which the program ends itself.
struct EndingCase {
    const char* name;
    int button;
    Bytes frame;
    QString title;
};

// Names the case in test names and failure messages instead of dumping the object's bytes.
void PrintTo(const EndingCase& c, std::ostream* out) {
    *out << c.name;
}

const EndingCase kEndingCases[] = {
    {"BluetoothName", IDC_SET_SAVE_NAME, textFrame(CMD_SET_BLUETOOTH_NAME, "Glowdeck9", 10),
     "Please Wait"},
    {"FactoryReset", IDC_SET_FACTORY_RESET, Bytes{0x00, 0x29}, "Resetting"},
};

std::string endingCaseName(const ::testing::TestParamInfo<EndingCase>& info) {
    return info.param.name;
}

class SettingsEnding : public Settings, public ::testing::WithParamInterface<EndingCase> {};

TEST_P(SettingsEnding, SendsOnTheFirstClickThenEndsTheProgramThroughTheClosePath) {
    const EndingCase& c = GetParam();
    runInSettings([&] {
        setControl<QLineEdit>(IDC_SET_BLUETOOTH_NAME)->setText("Glowdeck9");
        press(c.button);
    });
    EXPECT_EQ(framesFrom(0, 2), (std::vector<Bytes>{c.frame, kExit}));
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].title, c.title);
    EXPECT_EQ(recorder.boxes[0].icon, BoxIcon::Information);
    EXPECT_EQ(recorder.boxes[0].owner, &dlg());
    if (c.title == "Resetting") {
        EXPECT_EQ(recorder.boxes[0].text, "This program will now exit and the Zenta will reset "
                                          "itself to its factory default state\r\n");
    }
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(app->connection().connected());
    EXPECT_TRUE(app->panel().ending());
}

// A table that resets drops the link right after the frame, and one that stops reading never
// takes it: the box and the end come all the same, and nothing more is sent.
TEST_P(SettingsEnding, TheBoxAndTheEndComeWhenTheTableDropsTheLinkOrNeverTakesTheFrame) {
    const EndingCase& c = GetParam();
    for (const bool drops : {true, false}) {
        SCOPED_TRACE(drops ? "drops the link" : "never takes the frame");
        if (!drops) {
            restartProgram({});
            ASSERT_TRUE(table.reopen());
            control<QComboBox>(IDC_PORT_LIST)
                ->setEditText(QString::fromStdString(table.devicePath()));
            connectTable();
        }
        recorder.boxes.clear();
        table.clearRecord();
        sim::SimOptions options = fastTable();
        options.hangUpAfterFrames = drops ? 1 : -1;
        table.setOptions(options);
        runInSettings([&] {
            setControl<QLineEdit>(IDC_SET_BLUETOOTH_NAME)->setText("Glowdeck9");
            if (!drops)
                table.setReading(false);
            press(c.button);
            table.setReading(true);
        });
        ASSERT_EQ(recorder.boxes.size(), 1u);
        EXPECT_EQ(recorder.boxes[0].title, c.title);
        EXPECT_FALSE(window->isVisible());
        EXPECT_TRUE(app->panel().ending());
        if (drops) {
            EXPECT_EQ(tableFrames(), std::vector<Bytes>{c.frame});
        }
        table.setOptions(fastTable());
    }
}

INSTANTIATE_TEST_SUITE_P(NameAndReset, SettingsEnding, ::testing::ValuesIn(kEndingCases),
                         endingCaseName);

// Not connected: the sender's refusal first, then the action's own box and the end, as when
// the frame went out.
TEST_P(SettingsEnding, WithTheLinkDownTheRefusalComesFirstThenTheBoxAndTheEnd) {
    const EndingCase& c = GetParam();
    runInSettings([&] {
        window->OnBnClickedConnect();
        settle();
        ASSERT_EQ(framesFrom(0, 1), std::vector<Bytes>{kExit});
        setControl<QLineEdit>(IDC_SET_BLUETOOTH_NAME)->setText("abc");
        press(c.button);
    });
    ASSERT_EQ(recorder.boxes.size(), 2u);
    expectBox(0, "No bluetooth device is connected. Please connect to a device.",
              "Connection Error", BoxIcon::Error, nullptr);
    EXPECT_EQ(recorder.boxes[1].title, c.title);
    EXPECT_EQ(tableFrames(), std::vector<Bytes>{kExit});
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(app->panel().ending());
}

TEST_F(Settings, WithTheLinkDownADumpEndsAtOnce) {
    writeOldFile();
    runInSettings([&] {
        window->OnBnClickedConnect();
        settle();
        app->connection().setCaptureWaitMs(20);
        press(IDC_SET_DUMP_EEPROM);
        EXPECT_TRUE(dlg().isVisible());
        expectIdleButtons(false);
    });
    // A dump whose frame never went out ends at once: no wait for a reply, no time-out box.
    ASSERT_EQ(recorder.boxes.size(), 1u);
    expectBox(0, "No bluetooth device is connected. Please connect to a device.",
              "Connection Error", BoxIcon::Error, nullptr);
    EXPECT_EQ(dumpFile(), kOldFile);
    EXPECT_FALSE(app->panel().ending());
}

TEST_F(Settings, ADumpAfterTheLinkWasLostEndsAtOnce) {
    writeOldFile();
    runInSettings([&] {
        table.hangUp();
        ASSERT_TRUE(waitFor([this] { return !app->connection().connected(); }));
        press(IDC_SET_DUMP_EEPROM);
        expectIdleButtons(false);
    });
    ASSERT_EQ(recorder.boxes.size(), 1u);
    expectBox(0, "No bluetooth device is connected. Please connect to a device.",
              "Connection Error", BoxIcon::Error, nullptr);
    EXPECT_EQ(dumpFile(), kOldFile);
}

TEST_F(Settings, ACompleteDumpWritesTheWholeImageAndASecondReplacesIt) {
    writeOldFile();
    for (int round = 0; round < 2; ++round) {
        const Image image = patternImage(round);
        table.setEeprom(image);
        app->log().clear();
        runInSettings([&] { press(IDC_SET_DUMP_EEPROM); });
        const QByteArray csv = dumpFile();
        ASSERT_EQ(csv.size(), 425999);
        EXPECT_TRUE(csv.startsWith("Address,Value\r\n0X0000,0X"));
        char last[16];
        std::snprintf(last, sizeof last, "0X7FFF,0X%.2X\r\n", unsigned(image.back()));
        EXPECT_TRUE(csv.endsWith(last));
        EXPECT_TRUE(csv == expectedCsv(image)) << "round " << round;
        EXPECT_TRUE(logContains("EEPROM Dump Started..."));
        EXPECT_TRUE(logContains("\r\nEEPROM Dump Completed\r\n"));
    }
    EXPECT_EQ(tableFrames(), (std::vector<Bytes>{kDump, kDump}));
    EXPECT_TRUE(recorder.boxes.empty());
    EXPECT_TRUE(QDir(m_dir.path()).entryList(QDir::Files) == QStringList{"EEPROM_Dump.csv"});
}

TEST_F(Settings, APacedDumpCompletesWithinTheWaits) {
    table.setOptions(sim::SimOptions{});
    const Image image = patternImage(5);
    table.setEeprom(image);
    QElapsedTimer elapsed;
    runInSettings([&] {
        elapsed.start();
        press(IDC_SET_DUMP_EEPROM);
        RecordProperty("pacedDumpMs", int(elapsed.elapsed()));
    });
    EXPECT_TRUE(dumpFile() == expectedCsv(image));
    EXPECT_TRUE(recorder.boxes.empty());
}

// A click during another request's wait acts at once, as in the main window; only the slider
// and its Save follow the check box. Exit is honoured once the requests are over.
TEST_F(Settings, AClickDuringARequestActsAtOnceAndClosingWaitsForTheRequests) {
    runInSettings([&] {
        setControl<QCheckBox>(IDC_SET_ADJUST_SENSITIVITY)->click();
        bool checked = false;
        QTimer::singleShot(30, &dlg(), [&] {
            checked = true;
            EXPECT_TRUE(dlg().requestRunning());
            expectIdleButtonsEnabled();
            for (int id : {IDC_SET_ERASE, IDC_SET_SAVE_SENSITIVITY, IDC_SET_EXIT})
                setControl<QPushButton>(id)->click();
            EXPECT_TRUE(dlg().isVisible());
        });
        press(IDC_SET_TEST_EEPROM);
        EXPECT_TRUE(checked);
        EXPECT_FALSE(dlg().isVisible());
    });
    EXPECT_EQ(framesFrom(0, 3), (std::vector<Bytes>{kEepromTest, frame(CMD_EEPROM_ERASE),
                                                    frame(CMD_SET_POD_SENSITIVITY, {8})}));
}

TEST_F(Settings, WithoutAnAnswerTheDumpTimesOutAndTheOldFileStays) {
    writeOldFile();
    table.setOptions(simOptions(true, true));
    runInSettings([&] {
        app->connection().setCaptureWaitMs(20);
        press(IDC_SET_DUMP_EEPROM);
        expectIdleButtons(false);
    });
    ASSERT_EQ(recorder.boxes.size(), 1u);
    expectBox(0, kTimeoutText, "Glowdeck", BoxIcon::None, &dlg());
    EXPECT_EQ(dumpFile(), kOldFile);
    EXPECT_TRUE(logContains("EEPROM Dump Started..."));
    EXPECT_FALSE(logContains("EEPROM Dump Completed"));
}

TEST_F(Settings, AfterACutReplyTheNextDumpIsWhole) {
    table.setOptions(simOptions(true, false, 1000));
    const Image image = patternImage(9);
    table.setEeprom(image);
    runInSettings([&] {
        app->connection().setCaptureWaitMs(20);
        press(IDC_SET_DUMP_EEPROM);
        ASSERT_EQ(recorder.boxes.size(), 1u);
        EXPECT_EQ(recorder.boxes[0].text, kTimeoutText);
        EXPECT_FALSE(QFile::exists(dumpPath()));
        table.setOptions(simOptions(true));
        press(IDC_SET_DUMP_EEPROM);
    });
    EXPECT_EQ(recorder.boxes.size(), 1u);
    EXPECT_TRUE(dumpFile() == expectedCsv(image));
}

TEST_F(Settings, ALateReplyGoesToTheLogNotIntoTheNextDump) {
    table.setOptions(sim::SimOptions{}); // paced: the reply outlasts the shortened waits
    Image first = patternImage(2);
    for (std::uint8_t& byte : first)
        byte = std::uint8_t('a' + byte % 26);
    std::copy_n("<END>", 5, first.end() - 5);
    table.setEeprom(first);
    const Image second = patternImage(3);
    runInSettings([&] {
        app->connection().setCaptureWaitMs(20);
        press(IDC_SET_DUMP_EEPROM);
        ASSERT_EQ(recorder.boxes.size(), 1u);
        EXPECT_EQ(recorder.boxes[0].text, kTimeoutText);
        ASSERT_TRUE(waitFor([this] { return logContains("<END>"); }, 10000));
        table.setEeprom(second);
        app->connection().setCaptureWaitMs(Connection::kCaptureWaitMs);
        press(IDC_SET_DUMP_EEPROM);
    });
    EXPECT_EQ(recorder.boxes.size(), 1u);
    EXPECT_TRUE(dumpFile() == expectedCsv(second));
}

TEST_F(Settings, AFileThatCannotBeWrittenIsReportedAndTheCaptureKept) {
    struct Case {
        const char* name;
        bool oldFile;
        QFile::Permissions oldPermissions;
        bool rewritten; // the folder is locked, but an old file anyone may write is rewritten
    };
    const QFile::Permissions readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    const QFile::Permissions writable =
        readOnly | QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    const QFile::Permissions lockedFolder =
        readOnly | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    const Case cases[] = {
        {"no old file", false, {}, false},
        {"read-only old file", true, readOnly, false},
        {"writable old file", true, writable, true},
    };
    const Image image = patternImage(4);
    table.setEeprom(image);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(dumpPath());
        if (c.oldFile)
            writeOldFile(c.oldPermissions);
        ASSERT_TRUE(QFile::setPermissions(m_dir.path(), lockedFolder));
        recorder.boxes.clear();
        {
            Unprivileged unprivileged;
            runInSettings([&] { press(IDC_SET_DUMP_EEPROM); });
        }
        ASSERT_TRUE(QFile::setPermissions(m_dir.path(),
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        if (c.rewritten) {
            EXPECT_TRUE(recorder.boxes.empty());
            EXPECT_TRUE(dumpFile() == expectedCsv(image));
            continue;
        }
        ASSERT_EQ(recorder.boxes.size(), 1u);
        EXPECT_TRUE(recorder.boxes[0].text.startsWith("Cannot write EEPROM_Dump.csv: "));
        EXPECT_GT(recorder.boxes[0].text.size(), 32);
        EXPECT_EQ(recorder.boxes[0].title, "Error");
        EXPECT_EQ(recorder.boxes[0].icon, BoxIcon::Error);
        EXPECT_EQ(recorder.boxes[0].owner, &dlg());
        EXPECT_EQ(QFile::exists(dumpPath()), c.oldFile);
        if (c.oldFile) {
            EXPECT_EQ(dumpFile(), kOldFile);
        }
        EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files).size(), c.oldFile ? 1 : 0);
    }
}

// A notice's box is awaited: the action goes on when the box is dismissed, not before; an action
// ended meanwhile leaves its box to be dismissed without effect; a muted window shows none.
// A dump's file name goes into the box as it is, even one that holds a placeholder's "%2".
TEST(BoxFeedbackTest, TheActionGoesOnOnceItsBoxIsDismissed) {
    ManualClock clock;
    SequenceRunner runner(clock);
    std::vector<BoxRequest> shown;
    std::vector<std::function<void()>> open;
    bool muted = false;
    BoxFeedback feedback(
        nullptr,
        [&](const BoxRequest& box, std::function<void()> dismissed) {
            shown.push_back(box);
            open.push_back(std::move(dismissed));
        },
        [&] { return muted; });
    int wentOn = 0;
    auto tell = [&](Notice notice) -> Sequence<> {
        co_await feedback.notify(std::move(notice));
        ++wentOn;
    };
    const Notice cannotWrite{
        "Error", "Cannot write %1: %2", BoxIcon::Error, true, {"/tmp/a%2.csv", "Full"}};
    const Notice second{"Error", "second", BoxIcon::Error, true};
    runner.start(tell(cannotWrite), SequenceRunner::Bound::Link);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, QStringLiteral("Cannot write /tmp/a%2.csv: Full"));
    EXPECT_EQ(wentOn, 0);
    open[0]();
    EXPECT_EQ(wentOn, 1);
    open[0](); // a second answer of the same box changes nothing
    EXPECT_EQ(wentOn, 1);

    runner.start(tell(second), SequenceRunner::Bound::Link);
    runner.end(SequenceRunner::Bound::Link, "the link went");
    EXPECT_EQ(runner.running(), 0u);
    ASSERT_EQ(open.size(), 2u);
    open[1](); // the box outlives its action
    EXPECT_EQ(wentOn, 1);

    muted = true;
    runner.start(tell(second), SequenceRunner::Bound::Link);
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_EQ(wentOn, 2);
}

} // namespace

// The program's own boxes: modal to their owner window only, the texts and icon as asked, one OK
// button; dismissing one tells once and the box goes.
TEST(MessageBoxesTest, ABoxIsModalToItsOwnerAndTellsOnceWhenDismissed) {
    QWidget owner;
    owner.show();
    int dismissed = 0;
    MessageBoxes::show({&owner, QStringLiteral("Text"), QStringLiteral("Title"), BoxIcon::Warning},
                       [&] { ++dismissed; });
    QPointer<QMessageBox> box = owner.findChild<QMessageBox*>();
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(QApplication::activeModalWidget(), box.data());
    EXPECT_EQ(box->text(), "Text");
    EXPECT_EQ(box->windowTitle(), "Title");
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    ASSERT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->standardButton(box->buttons().first()), QMessageBox::Ok);
    EXPECT_EQ(dismissed, 0);
    box->buttons().first()->click();
    EXPECT_EQ(dismissed, 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return box.isNull(); }));
    EXPECT_EQ(dismissed, 1);
}
