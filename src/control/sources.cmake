list(APPEND GLOWDECK_CONTROL_SOURCES
  control/ColourText.cpp
  control/ControlRequest.cpp
  control/ReplyText.cpp
  control/RequestDecoder.cpp
  control/ControlHandler.cpp
  control/ControlSocketPath.cpp
  control/ControlServer.cpp
)
