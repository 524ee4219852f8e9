# The table's words and wire: standard C++ only.
list(APPEND GLOWDECK_CORE_SOURCES
  protocol/ColourTable.cpp
  protocol/CommandFrame.cpp
  protocol/CommandSet.cpp
  protocol/DebuggerCommands.cpp
  protocol/Payloads.cpp
  protocol/ProtocolTrace.cpp
  protocol/ReceiveMachine.cpp
)
