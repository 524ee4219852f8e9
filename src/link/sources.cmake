list(APPEND GLOWDECK_CORE_SOURCES
  link/CommandSet.cpp
  link/CommandFrame.cpp
  link/Payloads.cpp
  link/ReceiveMachine.cpp
  link/ProtocolTrace.cpp
)
list(APPEND GLOWDECK_UI_SOURCES
  link/PumpedWait.cpp
  link/LogView.cpp
  link/ReceivedLog.cpp
  link/PortWorker.cpp
  link/SerialLink.cpp
)
