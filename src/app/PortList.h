#pragma once

#include <QComboBox>

namespace glowdeck {

// The port list: tells its window just before the list opens, so ports that appeared since the
// start can be listed.
class PortList : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;

signals:
    void aboutToShowPopup();
};

} // namespace glowdeck
