# The table from a phone: the page and its WebSocket (Qt HttpServer and WebSockets), the keys and
# the hello's checks; the QR code of a link, which glowdeck-ctl draws too.
list(APPEND GLOWDECK_QR_SOURCES
  web/QrCode.cpp
)
list(APPEND GLOWDECK_WEB_SOURCES
  web/HelloGate.cpp
  web/WebKeys.cpp
  web/WebListener.cpp
  web/WebServer.cpp
  web/page.qrc
)
