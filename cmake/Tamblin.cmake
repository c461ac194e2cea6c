# Helpers shared by the subsystem folders. Sources are globbed so that adding a
# class means adding its two files and nothing else.

# tamblin_library(<name> [PUBLIC deps...] [PRIVATE deps...])
# A static library of every .cpp in the calling folder; include root = repository root.
function(tamblin_library name)
  cmake_parse_arguments(ARG "" "" "PUBLIC;PRIVATE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(sources)
    add_library(${name} STATIC ${sources} ${headers})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_PUBLIC})
  endif()
endfunction()

# tamblin_gtest(<name> [LIBS libs...]) : one GoogleTest executable of every .cpp
# in the calling folder, registered with CTest test by test.
function(tamblin_gtest name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                       PROPERTIES ENVIRONMENT "TAMBLIN_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# tamblin_translations(<executable>): the English translation. The sources'
# texts are Chinese; translations/tamblin_en.ts is compiled into tamblin_en.qm
# beside the executable (and installed into the data folder). Target
# tamblin_lupdate refreshes the .ts from every folder that shows text; the same
# list is kept in the global property TAMBLIN_TRANSLATED_SOURCES for the test
# that checks the .ts is complete.
function(tamblin_translations executable)
  file(GLOB translated CONFIGURE_DEPENDS
       ${PROJECT_SOURCE_DIR}/app/*.cpp ${PROJECT_SOURCE_DIR}/app/*/*.cpp ${PROJECT_SOURCE_DIR}/app/*/*/*.cpp
       ${PROJECT_SOURCE_DIR}/capture/*.cpp
       ${PROJECT_SOURCE_DIR}/capture/compat/*.cpp ${PROJECT_SOURCE_DIR}/encoding/*.cpp)
  set(ts ${PROJECT_SOURCE_DIR}/translations/tamblin_en.ts)
  set_source_files_properties(${ts} PROPERTIES OUTPUT_LOCATION ${CMAKE_CURRENT_BINARY_DIR})
  qt_add_translations(${executable} TS_FILES ${ts} SOURCES ${translated}
                      INCLUDE_DIRECTORIES ${PROJECT_SOURCE_DIR}
                      LUPDATE_OPTIONS -locations none -no-obsolete
                      QM_FILES_OUTPUT_VARIABLE qm_files)
  install(FILES ${qm_files} DESTINATION ${CMAKE_INSTALL_DATADIR}/${TAMBLIN_APP_ID})
  set_property(GLOBAL PROPERTY TAMBLIN_TRANSLATED_SOURCES ${translated})
  set_property(GLOBAL PROPERTY TAMBLIN_TRANSLATION_FILE ${ts})
endfunction()

# tamblin_uses_translation(<target>): the target finds the built tamblin_en.qm
# in TAMBLIN_TRANSLATION_FOLDER (the executable's folder).
function(tamblin_uses_translation target)
  add_dependencies(${target} tamblin_lrelease)
  target_compile_definitions(${target} PRIVATE TAMBLIN_TRANSLATION_FOLDER="$<TARGET_FILE_DIR:tamblin>")
endfunction()
