list(APPEND GLOWDECK_CORE_SOURCES
  link/BluetoothAddress.cpp
  link/CommandSet.cpp
  link/CommandFrame.cpp
  link/Payloads.cpp
  link/ReceiveMachine.cpp
  link/ProtocolTrace.cpp
)
list(APPEND GLOWDECK_UI_SOURCES
  link/PumpedWait.cpp
  link/ReceivedLog.cpp
  link/BluetoothPort.cpp
  link/PortMaker.cpp
  link/PortWorker.cpp
  link/StreamPort.cpp
  link/SerialLink.cpp
)
