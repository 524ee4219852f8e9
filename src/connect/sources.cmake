# Connecting: the port list (serial ports and paired tables) and the connection controller.
list(APPEND GLOWDECK_CORE_SOURCES
  connect/PairedTables.cpp
)
list(APPEND GLOWDECK_UI_SOURCES
  connect/BluetoothDiscovery.cpp
  connect/ConnectionController.cpp
  connect/PortDiscovery.cpp
  connect/PortList.cpp
)
