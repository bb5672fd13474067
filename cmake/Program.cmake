# The program proper. Everything but main() goes into a static library so that
# the tests can drive the same classes the binary uses.
file(GLOB PROGRAM_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/app/*.cpp
     ${CMAKE_SOURCE_DIR}/window/*.cpp
     ${CMAKE_SOURCE_DIR}/view/*.cpp
     ${CMAKE_SOURCE_DIR}/io/*.cpp
     ${CMAKE_SOURCE_DIR}/dnd/*.cpp)
list(FILTER PROGRAM_SOURCES EXCLUDE REGEX ".*/app/main\\.cpp$")

if(NOT EXISTS ${CMAKE_SOURCE_DIR}/app/main.cpp)
    return()
endif()

add_library(tavrinprogram STATIC ${PROGRAM_SOURCES})
target_include_directories(tavrinprogram PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(tavrinprogram PUBLIC tavrinkit)

add_executable(tavrin ${CMAKE_SOURCE_DIR}/app/main.cpp)
target_link_libraries(tavrin PRIVATE tavrinprogram)
tavrin_install_program(tavrin)
