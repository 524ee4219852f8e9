#include "support/PanelFixture.h"

#include "lighting/CColourPickerCB.h"
#include "lighting/ColourSwatch.h"
#include "res/Templates.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

using namespace glowdeck;
using namespace glowdeck::test;

namespace {
constexpr std::uint8_t kUnderlighting = 0x3D;
constexpr std::uint8_t kSigns = 0x40;
constexpr std::uint8_t kMode = 0x3C;
constexpr int kGreen = 2;
constexpr int kBlue = 3;
constexpr int kCustom = 11;
constexpr int kRaveMode = 3;
constexpr int kCustomGameMode = 9;

const QString kUnderlightWarning =
    "Underlighting is currently in 'Automatic Mode'. \n \t\t\t\t\t\t\t "
    "Please select 'Manual Mode' to use custom colors.";
const QString kSignsWarning = "Custom signs are currently in 'Automatic Mode'. \n \t\t\t\t\t\t\t "
                              "Please select 'Manual Mode' to use custom colors.";
const QString kCupWarning = "This mode can only be used in 'Custom Game Mode'. \n \t\t\t\t\t\t\t "
                            "Please select 'Custom Game Mode' from the 'Mode' dropdown.";
const QString kNotConnected = "No bluetooth device is connected. Please connect to a device.";

class Lighting : public PanelFixture {
protected:
    void SetUp() override {
        PanelFixture::SetUp();
        // Every action is waited for to its end, so this counts sends exactly.
        writes = std::make_unique<QSignalSpy>(&app->connection(), &Connection::frameWritten);
    }
    void TearDown() override {
        writes.reset();
        PanelFixture::TearDown();
    }

    // As the operator confirms an entry of a list.
    void choose(int comboId, int index) {
        auto* combo = control<QComboBox>(comboId);
        combo->setCurrentIndex(index);
        emit combo->activated(index);
        settle();
    }
    void clickSwatch(int id) {
        auto* swatch = control<ColourSwatch>(id);
        ASSERT_NE(swatch, nullptr) << id;
        QTest::mouseClick(swatch, Qt::LeftButton);
        settle();
    }
    void clickBox(int id) {
        control<QCheckBox>(id)->click();
        settle();
    }
    std::optional<Colour> painted(int id) const {
        return control<ColourSwatch>(id)->paintedColour();
    }

    // Runs the action and returns the one frame it sent.
    Bytes sentBy(const std::function<void()>& action) {
        const std::size_t before = table.frames().size();
        action();
        EXPECT_TRUE(waitForFrames(before + 1)) << "no frame sent";
        EXPECT_EQ(table.frames().size(), before + 1) << "more than one frame sent";
        return lastFrame();
    }
    std::unique_ptr<QSignalSpy> writes;
};
} // namespace

TEST_F(Lighting, TickingManualModeBeforeAnySwatchSendsTheFlagAndBlackForBothTeams) {
    connectTable();
    const std::vector<std::pair<int, std::uint8_t>> groups{{IDC_UNDERLIGHT_MANUAL, kUnderlighting},
                                                           {IDC_SIGNS_MANUAL, kSigns}};
    for (const auto& [box, code] : groups) {
        SCOPED_TRACE(box);
        EXPECT_EQ(sentBy([&] { clickBox(box); }), (Bytes{0x00, code, 1, 0, 0, 0, 0, 0, 0}));
    }
    EXPECT_TRUE(app->lighting().underlightManualMode);
    EXPECT_TRUE(app->lighting().signsManualMode);
    EXPECT_TRUE(recorder.boxes.empty());
}

TEST_F(Lighting, SwatchClicksStoreTheChooserColourAndSendBothTeams) {
    connectTable();
    clickBox(IDC_UNDERLIGHT_MANUAL);
    // The chooser starts on red without being touched.
    EXPECT_EQ(sentBy([&] { clickSwatch(IDC_UNDERLIGHT_TEAM1); }),
              (Bytes{0x00, kUnderlighting, 1, 255, 0, 0, 0, 0, 0}));
    EXPECT_EQ(painted(IDC_UNDERLIGHT_TEAM1), makeColour(255, 0, 0));

    choose(IDC_COLOUR_CHOOSER, kGreen);
    EXPECT_EQ(sentBy([&] { clickSwatch(IDC_UNDERLIGHT_TEAM2); }),
              (Bytes{0x00, kUnderlighting, 1, 255, 0, 0, 0, 255, 0}));
    // The same colour again sends the same state again.
    EXPECT_EQ(sentBy([&] { clickSwatch(IDC_UNDERLIGHT_TEAM2); }),
              (Bytes{0x00, kUnderlighting, 1, 255, 0, 0, 0, 255, 0}));

    EXPECT_EQ(sentBy([&] { clickBox(IDC_UNDERLIGHT_MANUAL); }),
              (Bytes{0x00, kUnderlighting, 0, 255, 0, 0, 0, 255, 0}));
    EXPECT_FALSE(app->lighting().underlightManualMode);

    clickBox(IDC_SIGNS_MANUAL);
    // The click itself reads the chooser, whether or not a selection was confirmed.
    control<QComboBox>(IDC_COLOUR_CHOOSER)->setCurrentIndex(kBlue);
    EXPECT_EQ(sentBy([&] { clickSwatch(IDC_SIGNS_TEAM2); }),
              (Bytes{0x00, kSigns, 1, 0, 0, 0, 0, 0, 255}));
    EXPECT_EQ(painted(IDC_SIGNS_TEAM2), makeColour(0, 0, 255));
    EXPECT_TRUE(recorder.boxes.empty());
}

TEST_F(Lighting, SwatchesRefuseOutsideTheirModeWithTheirWarningAndChangeNothing) {
    connectTable();
    // Each group's flag allows only its own swatches.
    clickBox(IDC_SIGNS_MANUAL);
    const std::vector<std::pair<int, QString>> refused{
        {IDC_UNDERLIGHT_TEAM1, kUnderlightWarning},
        {IDC_UNDERLIGHT_TEAM2, kUnderlightWarning},
        {IDC_TEAM1_CUP_ON, kCupWarning},
        {IDC_TEAM1_CUP_OFF, kCupWarning},
        {IDC_TEAM2_CUP_ON, kCupWarning},
        {IDC_TEAM2_CUP_OFF, kCupWarning},
    };
    ASSERT_TRUE(waitForFrames(1));
    const LightingState before = app->lighting();
    choose(IDC_COLOUR_CHOOSER, kGreen);
    for (const auto& [swatch, text] : refused) {
        SCOPED_TRACE(swatch);
        recorder.boxes.clear();
        const qsizetype sent = writes->count();
        const std::optional<Colour> shown = painted(swatch);
        clickSwatch(swatch);
        recorder.expectOnly(text, "Warning", BoxIcon::Warning, window.get());
        EXPECT_EQ(painted(swatch), shown);
        EXPECT_EQ(writes->count(), sent);
    }
    EXPECT_EQ(app->lighting().underlightColours, before.underlightColours);
    EXPECT_EQ(app->lighting().cupColours, before.cupColours);

    clickBox(IDC_SIGNS_MANUAL);
    recorder.boxes.clear();
    clickSwatch(IDC_SIGNS_TEAM1);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text, kSignsWarning);
    EXPECT_EQ(app->lighting().signColours, before.signColours);
}

TEST_F(Lighting, ManualModeRefusedWhileDisconnectedKeepsFlagAndBox) {
    clickBox(IDC_UNDERLIGHT_MANUAL);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text,
              "Please connect to the Glowdeck through bluetooth to use this operation.");
    EXPECT_EQ(recorder.boxes[0].title, "Error");
    EXPECT_EQ(recorder.boxes[0].icon, BoxIcon::Error);
    EXPECT_EQ(recorder.boxes[0].owner, window.get());
    EXPECT_FALSE(app->lighting().underlightManualMode);
    EXPECT_FALSE(control<QCheckBox>(IDC_UNDERLIGHT_MANUAL)->isChecked());

    // Connecting alone grants nothing; the next accepted tick does.
    connectTable();
    recorder.boxes.clear();
    clickSwatch(IDC_UNDERLIGHT_TEAM1);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text, kUnderlightWarning);
    EXPECT_EQ(sentBy([&] { clickBox(IDC_UNDERLIGHT_MANUAL); }),
              (Bytes{0x00, kUnderlighting, 1, 0, 0, 0, 0, 0, 0}));
}

TEST_F(Lighting, ASwatchClickWithTheLinkDownStoresAndPaintsAndSendsLater) {
    connectTable();
    clickBox(IDC_UNDERLIGHT_MANUAL);
    clickButton(IDC_CONNECT); // disconnect
    ASSERT_FALSE(app->connection().connected());
    const qsizetype sent = writes->count();

    choose(IDC_COLOUR_CHOOSER, kBlue);
    clickSwatch(IDC_UNDERLIGHT_TEAM2);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text, kNotConnected);
    EXPECT_EQ(recorder.boxes[0].title, "Connection Error");
    EXPECT_EQ(painted(IDC_UNDERLIGHT_TEAM2), makeColour(0, 0, 255));
    EXPECT_EQ(app->lighting().underlightColours[1], makeColour(0, 0, 255));
    EXPECT_EQ(writes->count(), sent);

    connectTable();
    // Unticking sends the group's state with the colour stored meanwhile.
    EXPECT_EQ(sentBy([&] { clickBox(IDC_UNDERLIGHT_MANUAL); }),
              (Bytes{0x00, kUnderlighting, 0, 0, 0, 0, 0, 0, 255}));
}

TEST_F(Lighting, ModeSelectionsSendTheModeAndCupColoursOnlyForTheCustomGameMode) {
    connectTable();
    EXPECT_EQ(sentBy([&] { choose(IDC_MODE_LIST, kRaveMode); }),
              (Bytes{0x00, kMode, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    // A confirmed selection of the entry already selected still sends.
    EXPECT_EQ(sentBy([&] { choose(IDC_MODE_LIST, kRaveMode); }),
              (Bytes{0x00, kMode, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(app->lighting().currentMode, kRaveMode);
    EXPECT_EQ(sentBy([&] { choose(IDC_MODE_LIST, kCustomGameMode); }),
              (Bytes{0x00, kMode, 9, 255, 0, 128, 0, 255, 0, 255, 255, 255, 0, 0, 255}));
    EXPECT_TRUE(recorder.boxes.empty());
}

TEST_F(Lighting, CupClicksInTheCustomGameModeStoreAndResendTheCupColours) {
    connectTable();
    choose(IDC_MODE_LIST, kCustomGameMode);
    choose(IDC_COLOUR_CHOOSER, kGreen);
    const Bytes withGreen{0x00, kMode, 9, 255, 0, 128, 0, 255, 0, 0, 255, 0, 0, 0, 255};
    EXPECT_EQ(sentBy([&] { clickSwatch(IDC_TEAM2_CUP_ON); }), withGreen);
    EXPECT_EQ(painted(IDC_TEAM2_CUP_ON), makeColour(0, 255, 0));

    // Another mode and back: the colours last stored go out, not the initial ones.
    choose(IDC_MODE_LIST, kRaveMode);
    EXPECT_EQ(sentBy([&] { choose(IDC_MODE_LIST, kCustomGameMode); }), withGreen);
    EXPECT_TRUE(recorder.boxes.empty());
}

TEST_F(Lighting, ACupClickSendsOnlyWhileTheListStillShowsTheCustomGameMode) {
    connectTable();
    choose(IDC_MODE_LIST, kCustomGameMode);
    ASSERT_EQ(writes->count(), 1);
    // Moved without a confirmed selection: the permission stays, the send does not happen.
    control<QComboBox>(IDC_MODE_LIST)->setCurrentIndex(kRaveMode);
    choose(IDC_COLOUR_CHOOSER, kBlue);
    clickSwatch(IDC_TEAM1_CUP_OFF);
    EXPECT_TRUE(recorder.boxes.empty());
    EXPECT_EQ(painted(IDC_TEAM1_CUP_OFF), makeColour(0, 0, 255));
    EXPECT_EQ(app->lighting().cupColours[1], makeColour(0, 0, 255));
    EXPECT_EQ(writes->count(), 1);
}

TEST_F(Lighting, TextTypedIntoTheModeListNeverActsOnlyTheListDoes) {
    connectTable();
    auto* modes = control<QComboBox>(IDC_MODE_LIST);
    QLineEdit* field = modes->lineEdit();
    ASSERT_NE(field, nullptr);
    modes->setFocus();
    field->selectAll();
    QTest::keyClicks(field, "Rave Mode");
    QTest::keyClick(field, Qt::Key_Return);
    // Leaving the field does not read it either.
    control<QPushButton>(IDC_CONNECT)->setFocus();
    ASSERT_FALSE(modes->hasFocus());
    EXPECT_EQ(writes->count(), 0);
    EXPECT_EQ(app->lighting().currentMode, 0);

    // Picked with the mouse in the open list, the same entry acts.
    modes->showPopup();
    QAbstractItemView* list = modes->view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->isVisible(); }, 2000));
    const QPoint rave = list->visualRect(modes->model()->index(kRaveMode, 0)).center();
    EXPECT_EQ(sentBy([&] { QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rave); }),
              (Bytes{0x00, kMode, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    // So does an arrow key on the closed list.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !list->isVisible(); }, 2000));
    EXPECT_EQ(sentBy([&] { QTest::keyClick(modes, Qt::Key_Down); }),
              (Bytes{0x00, kMode, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(app->lighting().currentMode, 4);
}

TEST_F(Lighting, AModeChosenWhileDisconnectedStillBecomesTheCurrentMode) {
    choose(IDC_MODE_LIST, kCustomGameMode);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].title, "Connection Error");
    EXPECT_EQ(app->lighting().currentMode, kCustomGameMode);

    choose(IDC_COLOUR_CHOOSER, kGreen);
    clickSwatch(IDC_TEAM1_CUP_ON);
    ASSERT_EQ(recorder.boxes.size(), 2u);
    EXPECT_EQ(recorder.boxes[1].text, kNotConnected);
    EXPECT_EQ(painted(IDC_TEAM1_CUP_ON), makeColour(0, 255, 0));
    EXPECT_EQ(app->lighting().cupColours[0], makeColour(0, 255, 0));
    EXPECT_EQ(writes->count(), 0);
}

// What a person does with the mouse or the keyboard, and how often the swatch acts on it.
TEST(SwatchGestures, ADoubleClickActsOnceSeparateClicksTwiceSpaceOncePerPress) {
    const struct {
        const char* gesture;
        std::function<void(QWidget*)> perform;
        int clicks;
    } rows[] = {
        {"double click",
         [](QWidget* w) {
             // As the window system delivers it: press, release, double click, release.
             QTest::mousePress(w, Qt::LeftButton);
             QTest::mouseRelease(w, Qt::LeftButton);
             QTest::mouseDClick(w, Qt::LeftButton);
             QTest::mouseRelease(w, Qt::LeftButton);
         },
         1},
        {"two clicks",
         [](QWidget* w) {
             QTest::mouseClick(w, Qt::LeftButton);
             QTest::mouseClick(w, Qt::LeftButton);
         },
         2},
        {"Space held down",
         [](QWidget* w) {
             QTest::keyPress(w, Qt::Key_Space);
             QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ", true);
             QApplication::sendEvent(w, &repeat);
             QTest::keyRelease(w, Qt::Key_Space);
         },
         1},
    };
    for (const auto& row : rows) {
        ColourSwatch swatch;
        swatch.resize(40, 12);
        QSignalSpy clicked(&swatch, &ColourSwatch::clicked);
        row.perform(&swatch);
        EXPECT_EQ(clicked.count(), row.clicks) << row.gesture;
    }
}

TEST_F(Lighting, TheCupSwatchesShowTheirColoursSoonAfterStartAndKeepThemOnRepaint) {
    const std::vector<std::pair<int, Colour>> cups{
        {IDC_TEAM1_CUP_ON, makeColour(255, 0, 128)},
        {IDC_TEAM1_CUP_OFF, makeColour(0, 255, 0)},
        {IDC_TEAM2_CUP_ON, makeColour(255, 255, 255)},
        {IDC_TEAM2_CUP_OFF, makeColour(0, 0, 255)},
    };
    ASSERT_TRUE(waitFor([&] { return painted(IDC_TEAM2_CUP_OFF).has_value(); }, 2000));
    for (const auto& [id, colour] : cups) {
        SCOPED_TRACE(id);
        auto* swatch = control<ColourSwatch>(id);
        EXPECT_EQ(swatch->paintedColour(), colour);
        // grab() repaints the widget from scratch.
        const QImage image = swatch->grab().toImage();
        const QRgb inner = image.pixel(image.width() / 2, image.height() / 2);
        EXPECT_EQ(makeColour(qRed(inner), qGreen(inner), qBlue(inner)), colour);
        EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, 0u); // the black outline
    }
    for (int id : {IDC_UNDERLIGHT_TEAM1, IDC_UNDERLIGHT_TEAM2, IDC_SIGNS_TEAM1, IDC_SIGNS_TEAM2}) {
        EXPECT_FALSE(painted(id).has_value()) << id;
        const QImage image = control<ColourSwatch>(id)->grab().toImage();
        EXPECT_EQ(image.pixel(image.width() / 2, image.height() / 2) & 0xFFFFFF, 0u) << id;
    }
}

TEST_F(Lighting, TheCustomEntryTakesThePickedColourBeforeTheCurrentColourIsRead) {
    int openings = 0;
    std::optional<Colour> answer = makeColour(10, 20, 30);
    system.pickColour = [&] {
        ++openings;
        return answer;
    };
    auto* chooser = control<CColourPickerCB>(IDC_COLOUR_CHOOSER);

    choose(IDC_COLOUR_CHOOSER, kGreen);
    EXPECT_EQ(openings, 0) << "a named entry opened the dialog";

    choose(IDC_COLOUR_CHOOSER, kCustom);
    EXPECT_EQ(openings, 1);
    EXPECT_EQ(chooser->colourAt(kCustom), makeColour(10, 20, 30));
    EXPECT_EQ(chooser->itemText(kCustom), "Custom...");
    EXPECT_EQ(window->currentColour(), makeColour(10, 20, 30));

    // Chosen again: the dialog opens again; cancelling keeps the picked colour.
    answer.reset();
    choose(IDC_COLOUR_CHOOSER, kCustom);
    EXPECT_EQ(openings, 2);
    EXPECT_EQ(chooser->colourAt(kCustom), makeColour(10, 20, 30));

    connectTable();
    clickBox(IDC_SIGNS_MANUAL);
    EXPECT_EQ(sentBy([&] { clickSwatch(IDC_SIGNS_TEAM1); }),
              (Bytes{0x00, kSigns, 1, 10, 20, 30, 0, 0, 0}));
}

TEST_F(Lighting, CancellingTheFirstCustomPickLeavesGrey) {
    choose(IDC_COLOUR_CHOOSER, kCustom);
    EXPECT_EQ(window->currentColour(), makeColour(200, 200, 200));
    connectTable();
    clickBox(IDC_UNDERLIGHT_MANUAL);
    EXPECT_EQ(sentBy([&] { clickSwatch(IDC_UNDERLIGHT_TEAM1); }),
              (Bytes{0x00, kUnderlighting, 1, 200, 200, 200, 0, 0, 0}));
}
