list(APPEND GLOWDECK_CONTROL_SOURCES
  control/ColourText.cpp
  control/ReplyText.cpp
  control/RequestDecoder.cpp
  control/ControlSocketPath.cpp
  control/ControlClients.cpp
  control/LocalListener.cpp
  control/ControlServer.cpp
)
