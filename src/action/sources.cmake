# What every controller acts through: the table link, its notices, the sender (standard C++).
list(APPEND GLOWDECK_CORE_SOURCES
  action/CommandSender.cpp
  action/Notice.cpp
)
