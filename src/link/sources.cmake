list(APPEND GLOWDECK_CORE_SOURCES
  link/CommandSet.cpp
  link/CommandFrame.cpp
  link/Payloads.cpp
  link/ReceiveMachine.cpp
  link/ProtocolTrace.cpp
  link/CommandSender.cpp
  link/ReconnectSchedule.cpp
)
list(APPEND GLOWDECK_UI_SOURCES
  link/PumpedWait.cpp
  link/ReceivedLog.cpp
  link/AppLifetime.cpp
  link/Port.h
  link/SerialPort.cpp
  link/ReceiveWorker.cpp
  link/Connection.cpp
  link/Reconnector.cpp
)
