# Copies SRC to DST unless DST exists: a MONITOR.INI the user has edited in the program folder
# survives every later build.
if(NOT EXISTS "${DST}")
  configure_file("${SRC}" "${DST}" COPYONLY)
endif()
