# The received-data log, without a view (standard C++).
list(APPEND GLOWDECK_CORE_SOURCES
  log/ReceivedLog.cpp
)
