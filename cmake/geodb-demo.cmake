# The demonstration's city database (make demo hands it to the app through GEODB_PERCORSO), written
# by strumenti/scrivi-geodb-demo.pl with MaxMind's writer into ${OSTRALE_GEODB_DEMO}. Without the
# writer (libmaxmind-db-writer-perl) at configure time there is none: OSTRALE_GEODB_DEMO is empty,
# and the demonstration runs with an empty map.
set(OSTRALE_GEODB_DEMO "")
find_package(Perl QUIET)
if(PERL_FOUND)
  execute_process(COMMAND ${PERL_EXECUTABLE} -MMaxMind::DB::Writer::Tree -e 1
                  RESULT_VARIABLE _scrittore_mmdb OUTPUT_QUIET ERROR_QUIET)
endif()
if(PERL_FOUND AND _scrittore_mmdb EQUAL 0)
  set(OSTRALE_GEODB_DEMO ${CMAKE_BINARY_DIR}/Risorse/geodb-demo.mmdb)
  add_custom_command(
    OUTPUT ${OSTRALE_GEODB_DEMO}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/Risorse
    COMMAND ${PERL_EXECUTABLE} ${PROJECT_SOURCE_DIR}/strumenti/scrivi-geodb-demo.pl
            ${OSTRALE_GEODB_DEMO}
    DEPENDS ${PROJECT_SOURCE_DIR}/strumenti/scrivi-geodb-demo.pl
    COMMENT "Writing the demonstration's city database"
    VERBATIM)
  add_custom_target(geodb-demo ALL DEPENDS ${OSTRALE_GEODB_DEMO})
else()
  message(STATUS "MaxMind's writer (libmaxmind-db-writer-perl) missing: the demonstration's map "
                 "stays empty (make deps installs it)")
endif()
