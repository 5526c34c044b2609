# Makes a jar again with every entry dated at the release's time, in name
# order, so that the same classes give the same jar wherever and whenever
# they are built: add_jar's jar dates each entry at the build, in the local
# time zone. The time is SOURCE_DATE_EPOCH when it is set, else the commit's
# (cmake/source_date_epoch.cmake; docs/releasing.md).
#   cmake -DJAR_TOOL= -DJAR= -DSOURCE_DIR= -P date_jar.cmake
include(${CMAKE_CURRENT_LIST_DIR}/source_date_epoch.cmake)
# jar --date takes an ISO-8601 time within zip's range (1980 to 2099).
string(TIMESTAMP date "%Y-%m-%dT%H:%M:%SZ" UTC)

set(tree ${JAR}.entries)
file(REMOVE_RECURSE ${tree})
file(MAKE_DIRECTORY ${tree})
execute_process(COMMAND ${JAR_TOOL} --extract --file ${JAR} WORKING_DIRECTORY ${tree} COMMAND_ERROR_IS_FATAL ANY)
file(GLOB_RECURSE entries LIST_DIRECTORIES false RELATIVE ${tree} ${tree}/*)
list(REMOVE_ITEM entries META-INF/MANIFEST.MF)
list(SORT entries)
set(manifest --no-manifest)  # a jar made without one stays so
if(EXISTS ${tree}/META-INF/MANIFEST.MF)
  set(manifest --manifest ${tree}/META-INF/MANIFEST.MF)
endif()
execute_process(COMMAND ${JAR_TOOL} --create --date ${date} --file ${JAR}.new ${manifest} ${entries}
  WORKING_DIRECTORY ${tree} COMMAND_ERROR_IS_FATAL ANY)
file(RENAME ${JAR}.new ${JAR})
file(REMOVE_RECURSE ${tree})
