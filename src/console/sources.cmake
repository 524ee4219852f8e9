list(APPEND GLOWDECK_CORE_SOURCES
  console/CommandHistory.cpp
  console/TextCommands.cpp
)
list(APPEND GLOWDECK_UI_SOURCES
  console/GlowdeckDlgConsole.cpp
)
