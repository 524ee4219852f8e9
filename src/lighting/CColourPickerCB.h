#pragma once

#include "lighting/ColourDialog.h"
#include "protocol/Colour.h"

#include <QComboBox>
#include <QStyle>

#include <functional>
#include <optional>

class QPainter;

namespace glowdeck {

// The colour chooser: the colour table's eleven entries and "Custom...", each item's data its
// colour (0x00BBGGRR). Every item, in the open list and in the closed field alike, shows a
// framed swatch of its colour followed by its name. Confirming "Custom..." opens the colour
// dialog and the picked colour becomes that item's colour.
class CColourPickerCB : public QComboBox {
    Q_OBJECT
public:
    static constexpr int kColourRole = Qt::UserRole;

    explicit CColourPickerCB(QWidget* parent = nullptr);

    Colour colourAt(int index) const;
    // What "Custom..." opens; the platform's colour dialog unless set.
    void setPicker(PickColour picker) { m_picker = std::move(picker); }

signals:
    // The custom entry has taken a colour confirmed in the picker.
    void customColourPicked();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    class ItemDelegate;

    static constexpr int kItemMargin = 2;  // between the item's edge and its swatch
    static constexpr int kTextGap = 2;     // between the swatch and the name
    static constexpr int kSwatchShare = 4; // the swatch ends a quarter into the item

    void fill();
    void OnCbnSelchange(int index);
    void drawItem(QPainter& painter, const QRect& itemRect, int index, QStyle::State state,
                  const QPalette& palette) const;

    PickColour m_picker;
};

} // namespace glowdeck
