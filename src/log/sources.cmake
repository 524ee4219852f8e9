# The received-data log, without a view (standard C++): its bytes, where its lines start, how
# they wrap into rows, finding text in it and where a caret goes.
list(APPEND GLOWDECK_CORE_SOURCES
  log/LineIndex.cpp
  log/LogNavigation.cpp
  log/LogSearch.cpp
  log/LogText.cpp
  log/ReceivedLog.cpp
  log/RowMap.cpp
)
