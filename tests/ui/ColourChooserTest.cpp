#include "lighting/CColourPickerCB.h"

#include <QAbstractItemView>
#include <QImage>
#include <QPainter>
#include <QStyleOptionViewItem>
#include <QTest>

#include <gtest/gtest.h>

using namespace glowdeck;

namespace {
const QColor kBase(30, 30, 30);
const QColor kText(220, 220, 200);
const QColor kHighlight(0, 90, 160);
const QColor kDisabledText(100, 110, 120);
const QSize kItemSize(120, 20); // the swatch spans x 2 to 29, y 2 to 17

QRgb rgb(const QColor& c) {
    return c.rgb() & 0xFFFFFF;
}
QRgb rgb(Colour c) {
    return qRgb(redOf(c), greenOf(c), blueOf(c)) & 0xFFFFFF;
}

// A dark scheme, so nothing passes by matching the default colours by chance.
class ColourChooser : public ::testing::Test {
protected:
    void SetUp() override {
        QPalette palette = chooser.palette();
        for (auto group : {QPalette::Active, QPalette::Inactive}) {
            palette.setColor(group, QPalette::Base, kBase);
            palette.setColor(group, QPalette::Text, kText);
            palette.setColor(group, QPalette::Highlight, kHighlight);
        }
        palette.setColor(QPalette::Disabled, QPalette::Text, kDisabledText);
        chooser.setPalette(palette);
        // Whole-pixel text, so its pixels carry exactly the pen colour.
        QFont font = chooser.font();
        font.setStyleStrategy(QFont::NoAntialias);
        chooser.setFont(font);
    }

    QImage renderItem(int row, QStyle::State state) {
        QImage image(kItemSize, QImage::Format_RGB32);
        image.fill(Qt::magenta);
        QPainter painter(&image);
        QStyleOptionViewItem option;
        option.rect = QRect(QPoint(0, 0), kItemSize);
        option.state = state;
        option.palette = chooser.palette();
        chooser.itemDelegate()->paint(&painter, option, chooser.model()->index(row, 0));
        return image;
    }

    // Every pixel right of the swatch is the background or the text colour, and some are text.
    static void expectTextArea(const QImage& image, QRgb background, QRgb text) {
        int textPixels = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = kItemSize.width() / 4; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y) & 0xFFFFFF;
                ASSERT_TRUE(p == background || p == text) << x << "," << y << " " << std::hex << p;
                textPixels += p == text;
            }
        EXPECT_GT(textPixels, 0);
    }

    CColourPickerCB chooser;
};
} // namespace

TEST_F(ColourChooser, ListsTheTableThenTheGreyCustomEntryAndStartsOnTheFirst) {
    const std::vector<std::pair<QString, Colour>> items{
        {"Off", 0x000000},    {"Red", 0x0000FF},    {"Green", 0x00FF00}, {"Blue", 0xFF0000},
        {"Orange", 0x007FFF}, {"Pink", 0xFF00FF},   {"Cyan", 0xE8FF00},  {"Magenta", 0x7F007F},
        {"Yellow", 0x00FFFF}, {"Violet", 0xFF007F}, {"White", 0xFFFFFF}, {"Custom...", 0xC8C8C8},
    };
    ASSERT_EQ(chooser.count(), int(items.size()));
    for (int i = 0; i < chooser.count(); ++i) {
        EXPECT_EQ(chooser.itemText(i), items[std::size_t(i)].first);
        EXPECT_EQ(chooser.colourAt(i), items[std::size_t(i)].second) << i;
    }
    EXPECT_EQ(chooser.currentIndex(), 0);
}

TEST_F(ColourChooser, DrawsEachItemAsAFramedSwatchThenItsName) {
    struct Row {
        const char* what;
        int row;
        QStyle::State state;
        QRgb background, text, swatch;
    };
    const QRgb complement = qRgb(255 - 220, 255 - 220, 255 - 200) & 0xFFFFFF;
    const std::vector<Row> rows{
        {"plain", 1, QStyle::State_Enabled, rgb(kBase), rgb(kText), rgb(makeColour(255, 0, 0))},
        {"selected", 1, QStyle::State_Enabled | QStyle::State_Selected, rgb(kHighlight), complement,
         rgb(makeColour(255, 0, 0))},
        {"off is black", 0, QStyle::State_Enabled, rgb(kBase), rgb(kText), 0},
        {"custom starts grey", 11, QStyle::State_Enabled, rgb(kBase), rgb(kText),
         rgb(makeColour(200, 200, 200))},
        {"disabled", 6, QStyle::State_None, rgb(kBase), rgb(kDisabledText), rgb(kDisabledText)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const QImage image = renderItem(r.row, r.state);
        const int middle = kItemSize.height() / 2;
        EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, r.background);
        EXPECT_EQ(image.pixel(1, middle) & 0xFFFFFF, r.background);
        EXPECT_EQ(image.pixel(15, 1) & 0xFFFFFF, r.background);
        for (const QPoint frame :
             {QPoint(2, 2), QPoint(2, middle), QPoint(29, middle), QPoint(15, 17), QPoint(29, 17)})
            EXPECT_EQ(image.pixel(frame) & 0xFFFFFF, 0u) << frame.x() << "," << frame.y();
        for (const QPoint inner : {QPoint(3, 3), QPoint(15, middle), QPoint(28, 16)})
            EXPECT_EQ(image.pixel(inner) & 0xFFFFFF, r.swatch) << inner.x() << "," << inner.y();
        EXPECT_EQ(image.pixel(30, middle) & 0xFFFFFF, r.background);
        expectTextArea(image, r.background, r.text);
    }
}

TEST_F(ColourChooser, AnEmptySelectionDrawsOnlyTheBackground) {
    const QImage image = renderItem(-1, QStyle::State_Enabled);
    for (const QPoint p : {QPoint(0, 0), QPoint(2, 2), QPoint(15, 10), QPoint(60, 10)})
        EXPECT_EQ(image.pixel(p) & 0xFFFFFF, rgb(kBase));
}

TEST_F(ColourChooser, TheSwatchFollowsTheItemColourInTheListAndTheClosedField) {
    constexpr int kCustom = 11;
    chooser.setItemData(kCustom, QVariant::fromValue<uint>(makeColour(10, 200, 30)),
                        CColourPickerCB::kColourRole);
    EXPECT_EQ(renderItem(kCustom, QStyle::State_Enabled).pixel(15, 10) & 0xFFFFFF,
              rgb(makeColour(10, 200, 30)));
    EXPECT_EQ(chooser.itemText(kCustom), "Custom...");

    chooser.resize(200, chooser.sizeHint().height());
    for (const auto& [index, colour] : std::vector<std::pair<int, Colour>>{
             {1, makeColour(255, 0, 0)}, {kCustom, makeColour(10, 200, 30)}}) {
        SCOPED_TRACE(index);
        chooser.setCurrentIndex(index);
        const QImage image = chooser.grab().toImage();
        const int middle = image.height() / 2;
        // The swatch lies within the left quarter of the field.
        EXPECT_EQ(image.pixel(image.width() / 8, middle) & 0xFFFFFF, rgb(colour));
        for (int x = image.width() / 4 + 8; x < image.width(); ++x)
            ASSERT_NE(image.pixel(x, middle) & 0xFFFFFF, rgb(colour)) << x;
    }
}

TEST_F(ColourChooser, TheOpenListIsDrawnByTheChooser) {
    chooser.resize(200, chooser.sizeHint().height());
    chooser.show();
    chooser.showPopup();
    QAbstractItemView* list = chooser.view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->isVisible(); }, 2000));
    const QRect green = list->visualRect(chooser.model()->index(2, 0));
    const QImage image = list->viewport()->grab().toImage();
    const QPoint inside(green.left() + green.width() / 8, green.center().y());
    EXPECT_EQ(image.pixel(inside) & 0xFFFFFF, rgb(makeColour(0, 255, 0)));
    chooser.hidePopup();
}
