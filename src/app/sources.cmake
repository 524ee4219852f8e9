list(APPEND GLOWDECK_CORE_SOURCES
  app/PairedTables.cpp
)
list(APPEND GLOWDECK_UI_SOURCES
  app/MessageBoxes.cpp
  app/Services.cpp
  app/QtClock.cpp
  app/BluetoothDiscovery.cpp
  app/PortDiscovery.cpp
  app/PortList.cpp
  app/BoxFeedback.cpp
  app/Panel.cpp
  app/PanelRequests.cpp
  app/CGlowdeckApp.cpp
  app/CGlowdeckDlg.cpp
  app/EndSignals.cpp
  app/StderrFeedback.cpp
  app/HeadlessPanel.cpp
)
