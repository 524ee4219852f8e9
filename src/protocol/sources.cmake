# The table's words and wire: standard C++ only.
list(APPEND GLOWDECK_CORE_SOURCES
  protocol/CommandFrame.cpp
  protocol/CommandSet.cpp
  protocol/Payloads.cpp
  protocol/ProtocolTrace.cpp
  protocol/ReceiveMachine.cpp
  protocol/TableVocabulary.cpp
)
