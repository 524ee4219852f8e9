# Received Data's view (Qt): it paints the rows in sight from the log, finds in it, saves it and
# reads it to screen readers.
list(APPEND GLOWDECK_UI_SOURCES
  logview/LogGlyphs.cpp
  logview/LogScrollBar.cpp
  logview/LogFindBar.cpp
  logview/LogView.cpp
  logview/LogViewAccessible.cpp
)
