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
# The program's folders include each other as "view/tavrinview.h" and so on.
# Their parent is the source root, which holds the kit too: the include path
# gets a folder of links to the program's folders alone instead, so that the
# kit is reached only through its public and exported headers.
set(TAVRIN_PROGRAM_INCLUDE ${CMAKE_BINARY_DIR}/program-include)
file(MAKE_DIRECTORY ${TAVRIN_PROGRAM_INCLUDE})
foreach(folder app window view io dnd)
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${TAVRIN_PROGRAM_INCLUDE}/${folder} SYMBOLIC)
endforeach()
target_include_directories(tavrinprogram PUBLIC ${TAVRIN_PROGRAM_INCLUDE})
target_link_libraries(tavrinprogram PUBLIC tavrinkit tavrinkit_private)
target_compile_definitions(tavrinprogram PUBLIC TAVRIN_PROJECT_VERSION="${PROJECT_VERSION}")

add_executable(tavrin ${CMAKE_SOURCE_DIR}/app/main.cpp)
target_link_libraries(tavrin PRIVATE tavrinprogram)
tavrin_install_program(tavrin)
# Copies outlive the program through this helper.
add_dependencies(tavrin tavrin-clipboard)
