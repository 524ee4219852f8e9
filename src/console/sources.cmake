list(APPEND GLOWDECK_CORE_SOURCES
  console/CommandHistory.cpp
  console/TextCommands.cpp
  console/ConsoleController.cpp
)
