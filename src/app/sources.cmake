# The programs: the panel, the windowed program and its main window, the panel without a window,
# scripts' requests.
list(APPEND GLOWDECK_UI_SOURCES
  app/AccessibleFactory.cpp
  app/Services.cpp
  app/QtClock.cpp
  app/Panel.cpp
  app/PanelRequests.cpp
  app/CGlowdeckApp.cpp
  app/CGlowdeckDlg.cpp
  app/EndSignals.cpp
  app/StderrFeedback.cpp
  app/OutputWriter.cpp
  app/HeadlessPanel.cpp
  app/WebLinksWindow.cpp
)
# What waits for the headless panel's reader (standard C++).
list(APPEND GLOWDECK_CORE_SOURCES
  app/OutputBacklog.cpp
)
