list(APPEND GLOWDECK_CORE_SOURCES
  link/CommandSet.cpp
  link/CommandFrame.cpp
  link/Payloads.cpp
  link/ReceiveMachine.cpp
)
list(APPEND GLOWDECK_UI_SOURCES
)
