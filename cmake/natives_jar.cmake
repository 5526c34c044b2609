# Makes a natives jar: each library stripped, under
# META-INF/native/<target>/, with its SHA-256 beside it (<file>.sha256, as
# sha256sum writes it), which the Java side checks when it extracts the file.
# Dated as every jar of the release (date_jar.cmake), and objcopy writes that
# time into a PE header.
#   cmake -DTARGET=linux-x86_64 -DLIBRARIES=a.so|b.so -DOBJCOPY=... -DJAR=...
#         -DWORK=<folder> -DOUTPUT=<jar> -DSOURCE_DIR=<source tree> -P natives_jar.cmake
include(${CMAKE_CURRENT_LIST_DIR}/source_date_epoch.cmake)
set(folder ${WORK}/META-INF/native/${TARGET})
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${folder})
string(REPLACE "|" ";" LIBRARIES "${LIBRARIES}")
foreach(library IN LISTS LIBRARIES)
  get_filename_component(name ${library} NAME)
  execute_process(COMMAND ${OBJCOPY} --strip-debug --strip-unneeded ${library} ${folder}/${name}
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "natives jar: ${OBJCOPY} could not strip ${library}")
  endif()
  file(SHA256 ${folder}/${name} digest)
  file(WRITE ${folder}/${name}.sha256 "${digest}  ${name}\n")
endforeach()
file(REMOVE ${OUTPUT})
execute_process(COMMAND ${JAR} --create --no-manifest --file ${OUTPUT} -C ${WORK} META-INF RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "natives jar: ${JAR} could not make ${OUTPUT}")
endif()
set(JAR_TOOL ${JAR})
set(JAR ${OUTPUT})
include(${CMAKE_CURRENT_LIST_DIR}/date_jar.cmake)
