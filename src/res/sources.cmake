list(APPEND GLOWDECK_CORE_SOURCES
  res/Templates.cpp
)
list(APPEND GLOWDECK_UI_SOURCES
  res/TemplateBuilder.cpp
  res/TemplateDialog.cpp
  res/WrappingPushButton.cpp
  res/AppIcon.cpp
  res/AccessibleFactory.cpp
  res/ComboBoxAccessible.cpp
)
