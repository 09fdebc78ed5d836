# Every source folder is one library; its files are picked up by glob so that adding a
# class needs no edit of the build files.
function(corvane_library NAME)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  add_library(${NAME} STATIC ${_src})
  target_link_libraries(${NAME} PUBLIC ${ARG_LIBS})
endfunction()
