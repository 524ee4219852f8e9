# The connection to the table: its ports, its receive thread, reconnecting. No widgets.
list(APPEND GLOWDECK_CORE_SOURCES
  link/BluetoothAddress.cpp
  link/ReconnectSchedule.cpp
)
list(APPEND GLOWDECK_UI_SOURCES
  link/Port.cpp
  link/DeviceAccess.cpp
  link/SerialPort.cpp
  link/StreamPort.cpp
  link/BluetoothPort.cpp
  link/PortMaker.cpp
  link/ReceiveWorker.cpp
  link/ReceiveThread.cpp
  link/Connection.cpp
  link/Reconnector.cpp
)
# On Unix the panel owns the terminal device itself.
if(UNIX)
  list(APPEND GLOWDECK_UI_SOURCES link/TerminalPort.cpp)
endif()
