list(APPEND GLOWDECK_CORE_SOURCES
  settings/DumpCsv.cpp
  settings/SingleByteText.cpp
  settings/SettingsController.cpp
)
list(APPEND GLOWDECK_UI_SOURCES
  settings/CSettingsDlg.cpp
)
