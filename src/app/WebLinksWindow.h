#pragma once

#include <QWidget>

namespace glowdeck {

class WebServer;

// The page's two links with their QR codes, for the operator to scan or to pass on: the
// operator's own and the guests'. A window of its own beside the main window.
class WebLinksWindow : public QWidget {
public:
    WebLinksWindow(const WebServer& server, QWidget* owner);
};

} // namespace glowdeck
