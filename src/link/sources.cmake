list(APPEND GLOWDECK_CORE_SOURCES
  link/BluetoothAddress.cpp
  link/CommandSet.cpp
  link/CommandFrame.cpp
  link/Payloads.cpp
  link/ReceiveMachine.cpp
  link/ProtocolTrace.cpp
  link/CommandSender.cpp
  link/ReconnectSchedule.cpp
)
list(APPEND GLOWDECK_UI_SOURCES
  link/LogView.cpp
  link/LogDocumentLayout.cpp
  link/LogScrollBar.cpp
  link/ReceivedLog.cpp
  link/Port.cpp
  link/SerialPort.cpp
  link/ReceiveWorker.cpp
  link/ReceiveThread.cpp
  link/Connection.cpp
  link/BluetoothPort.cpp
  link/PortMaker.cpp
  link/StreamPort.cpp
  link/Reconnector.cpp
)
