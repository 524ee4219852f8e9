list(APPEND GLOWDECK_CORE_SOURCES
  lighting/LightingController.cpp
)
list(APPEND GLOWDECK_UI_SOURCES
  lighting/ColourSwatch.cpp
  lighting/SwatchAccessible.cpp
  lighting/ColourDialog.cpp
  lighting/CColourPickerCB.cpp
)
