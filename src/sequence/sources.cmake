# How actions wait and end: standard C++, shared by every controller.
list(APPEND GLOWDECK_CORE_SOURCES
  sequence/SequenceRunner.cpp
  sequence/WaitQueue.cpp
)
