# The dialogs as the operators know them: templates as data (standard C++), the builder, the
# dialog keyboard, message boxes and the icon (Qt).
list(APPEND GLOWDECK_CORE_SOURCES
  res/Templates.cpp
)
list(APPEND GLOWDECK_UI_SOURCES
  res/TemplateBuilder.cpp
  res/TemplateDialog.cpp
  res/WrappingPushButton.cpp
  res/AppIcon.cpp
  res/ComboBoxAccessible.cpp
  res/MessageBoxes.cpp
  res/BoxFeedback.cpp
  res/SavedFile.cpp
)
