list(APPEND GLOWDECK_CORE_SOURCES
  debugger/DebuggerController.cpp
)
list(APPEND GLOWDECK_UI_SOURCES
  debugger/CDebugger.cpp
)
