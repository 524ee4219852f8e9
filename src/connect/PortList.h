#pragma once

#include <QComboBox>

namespace glowdeck {

// The port list: tells its window just before the list opens, so ports that appeared since the
// start can be listed, and when it has closed, so entries that changed meanwhile can be.
class PortList : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;

signals:
    void aboutToShowPopup();
    // However it closed: an entry chosen, Escape, a click elsewhere, the window left.
    void popupClosed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace glowdeck
