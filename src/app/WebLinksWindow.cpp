#include "app/WebLinksWindow.h"

#include "web/QrCode.h"
#include "web/WebServer.h"

#include <QGridLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>

namespace glowdeck {

namespace {
constexpr int kQuietZone = 4;
constexpr int kModulePixels = 5;

QPixmap drawn(const QrCode& qr) {
    const int side = qr.size() + 2 * kQuietZone;
    QImage image(side, side, QImage::Format_Mono);
    image.fill(1);
    for (int y = 0; y < qr.size(); ++y)
        for (int x = 0; x < qr.size(); ++x)
            if (qr.dark(x, y))
                image.setPixel(x + kQuietZone, y + kQuietZone, 0);
    // Scaled without smoothing, so every module stays a sharp square for the camera.
    return QPixmap::fromImage(image.scaled(side * kModulePixels, side * kModulePixels));
}
} // namespace

WebLinksWindow::WebLinksWindow(const WebServer& server, QWidget* owner)
    : QWidget(owner, Qt::Window) {
    setWindowTitle(tr("Phone Links"));
    auto* layout = new QGridLayout(this);
    const struct {
        ControlRole role;
        const char* title;
    } columns[] = {{ControlRole::Operator, "Operator: everything the panel does"},
                   {ControlRole::Guest, "Guests: the mode and the team colours"}};
    int column = 0;
    for (const auto& [role, title] : columns) {
        const QString link = server.link(role);
        layout->addWidget(new QLabel(tr(title), this), 0, column, Qt::AlignHCenter);
        auto* picture = new QLabel(this);
        if (const std::optional<QrCode> qr = QrCode::encode(link.toStdString()))
            picture->setPixmap(drawn(*qr));
        picture->setAccessibleName(tr("QR code of the link"));
        layout->addWidget(picture, 1, column, Qt::AlignHCenter);
        // A line that can be selected and copied whole, however narrow the window.
        auto* text = new QLineEdit(link, this);
        text->setReadOnly(true);
        text->setCursorPosition(0);
        text->setAccessibleName(tr(title));
        layout->addWidget(text, 2, column);
        ++column;
    }
}

} // namespace glowdeck
