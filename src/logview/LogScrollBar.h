#pragma once

#include <QScrollBar>

#include <optional>

namespace glowdeck {

// The scroll bar of the received-data log. While the table talks, the log's range grows many
// times a second but the slider moves by a pixel only now and then; painting the bar costs about
// as much as painting the new lines, so it repaints only when what it shows has changed.
class LogScrollBar : public QScrollBar {
public:
    explicit LogScrollBar(QWidget* parent = nullptr);

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct Look {
        QRect slider;
        bool empty = false;
        bool atMinimum = false;
        bool atMaximum = false;
        int state = 0;
        int activeControls = 0;
        bool operator==(const Look&) const = default;
    };
    Look look() const;

    std::optional<Look> m_painted;
    bool m_comparePending = false;
};

} // namespace glowdeck
