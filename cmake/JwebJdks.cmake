# The JDKs the JVM tests run on, and the one the benchmark's FFM column uses.
# Found once, here, after find_package(Java):
#   JWEB_JDKS               feature versions, ascending, one JDK each (11 and later)
#   JWEB_JDK<N>_HOME        that JDK's folder
#   JWEB_JDK<N>_JAVA        its java
#   JWEB_JDK<N>_OPTIONS     what a host must pass that java to use the library
#                           (besides the signal option, which every JDK needs)
#   JWEB_BUILD_JDK          the feature version of the build's own JDK
#   JWEB_TEST_EMULATOR      what runs the target's programs in a cross build, else empty
#   JWEB_USERLAND_JDKS      the JDKs of other userlands, <userland>_jdk<N> each (below);
#                           their JWEB_JDK<id>_HOME, _JAVA, _OPTIONS as above, plus
#                           _EMULATOR (chroot <root>), _USERLAND and _FEATURE
# The candidates: the build's JDK, and every JDK under /usr/lib/jvm, or the
# folders in JWEB_TEST_JDK_HOMES instead. Of two JDKs with one feature version
# the build's is taken, else the first by name. A Linux cross build runs its
# tests on one JDK for the target processor (JWEB_TARGET_JDK), through the
# emulator; the build's JDK compiles the Java code either way.
include_guard(GLOBAL)

set(JWEB_TEST_JDK_HOMES "" CACHE STRING
  "JDK folders (a list) to run the JVM tests on besides the build's; empty: every JDK 11 or newer under /usr/lib/jvm")
# Other userlands (tools/run-userland-tests.sh makes them): each test in a JVM
# also runs, with the library built here, on each JDK 11 or newer installed
# in the root, inside it (chroot), as <test>_<userland>_jdk<N>, labelled
# userland, <userland> and jdk<N>, in the configuration "userland" only:
# ctest -C userland -L userland. The roots must have /proc, and this source
# and build tree, /tmp and /usr/share/java mounted at the same places.
set(JWEB_USERLAND_ROOTS "" CACHE STRING "Userland roots to run the JVM tests in, a list of <name>=<root folder>")

# The feature version of the JDK in `home` (17 for 17.0.15), or 0 when `home`
# holds no java with a release file.
function(jweb_jdk_feature_version home out)
  set(feature 0)
  if(EXISTS ${home}/release AND EXISTS ${home}/bin/java)
    file(STRINGS ${home}/release version_line REGEX "^JAVA_VERSION=")
    if(version_line MATCHES "\"([0-9]+)")
      set(feature ${CMAKE_MATCH_1})
    endif()
  endif()
  set(${out} ${feature} PARENT_SCOPE)
endfunction()

# JDK 22 made native access a permission (JDK 24 and later warn without it);
# on the class path the permission goes to ALL-UNNAMED. Under emulation the
# optimising compiler costs more than it saves: it is left out.
function(jweb_jdk_java_options feature out)
  set(options "")
  if(feature GREATER_EQUAL 22)
    list(APPEND options --enable-native-access=ALL-UNNAMED)
  endif()
  if(JWEB_TEST_EMULATOR)
    list(APPEND options -XX:TieredStopAtLevel=1)
  endif()
  set(${out} ${options} PARENT_SCOPE)
endfunction()

function(_jweb_find_jdks)
  file(REAL_PATH ${Java_JAVA_EXECUTABLE} build_java)
  cmake_path(GET build_java PARENT_PATH build_bin)
  cmake_path(GET build_bin PARENT_PATH build_home)
  if(JWEB_TEST_EMULATOR)
    file(REAL_PATH ${JWEB_TARGET_JDK} build_home)  # the tests' JDK stands in for the build's
    set(candidates "")
  elseif(JWEB_TEST_JDK_HOMES)
    set(candidates ${JWEB_TEST_JDK_HOMES})
  else()
    file(GLOB candidates LIST_DIRECTORIES true /usr/lib/jvm/*)
    list(SORT candidates)
  endif()

  set(features "")
  foreach(home ${build_home} ${candidates})
    file(REAL_PATH ${home} home)
    jweb_jdk_feature_version(${home} feature)
    if(feature LESS 11 OR feature IN_LIST features)
      continue()
    endif()
    list(APPEND features ${feature})
    jweb_jdk_java_options(${feature} options)
    set(JWEB_JDK${feature}_HOME ${home} PARENT_SCOPE)
    set(JWEB_JDK${feature}_JAVA ${home}/bin/java PARENT_SCOPE)
    set(JWEB_JDK${feature}_OPTIONS ${options} PARENT_SCOPE)
    if(home STREQUAL build_home)
      set(JWEB_BUILD_JDK ${feature} PARENT_SCOPE)
    endif()
  endforeach()
  list(SORT features COMPARE NATURAL)
  set(JWEB_JDKS ${features} PARENT_SCOPE)
endfunction()

# The JDKs in each userland root: paths as the JVM sees them, inside the root.
function(_jweb_find_userland_jdks)
  set(ids "")
  foreach(entry IN LISTS JWEB_USERLAND_ROOTS)
    if(NOT entry MATCHES "^([A-Za-z0-9]+)=(.+)$")
      message(FATAL_ERROR "JWEB_USERLAND_ROOTS: ${entry} is not <name>=<root folder>")
    endif()
    set(userland ${CMAKE_MATCH_1})
    if(NOT EXISTS ${CMAKE_MATCH_2}/.complete)
      # Deleted to be made again: tools/run-userland-tests.sh configures anew.
      message(WARNING "The ${userland} userland root ${CMAKE_MATCH_2} is missing or incomplete: "
        "its tests are left out until tools/run-userland-tests.sh makes it")
      continue()
    endif()
    file(REAL_PATH ${CMAKE_MATCH_2} root)
    file(GLOB homes LIST_DIRECTORIES true ${root}/usr/lib/jvm/*)
    list(SORT homes)
    set(found "")
    foreach(home IN LISTS homes)
      file(REAL_PATH ${home} home)  # inside the root: Debian's links there are relative
      jweb_jdk_feature_version(${home} feature)
      if(feature LESS 11 OR feature IN_LIST found)
        continue()
      endif()
      list(APPEND found ${feature})
      string(REPLACE "${root}" "" inside ${home})
      set(id ${userland}_jdk${feature})
      list(APPEND ids ${id})
      jweb_jdk_java_options(${feature} options)
      set(JWEB_JDK${id}_HOME ${inside} PARENT_SCOPE)
      set(JWEB_JDK${id}_JAVA ${inside}/bin/java PARENT_SCOPE)
      set(JWEB_JDK${id}_OPTIONS ${options} PARENT_SCOPE)
      set(JWEB_JDK${id}_EMULATOR chroot ${root} PARENT_SCOPE)
      set(JWEB_JDK${id}_USERLAND ${userland} PARENT_SCOPE)
      set(JWEB_JDK${id}_FEATURE ${feature} PARENT_SCOPE)
      message(STATUS "JVM tests run in the ${userland} userland on JDK ${feature}: ${root}${inside}")
    endforeach()
    if(NOT found)
      message(FATAL_ERROR "No JDK 11 or newer in the ${userland} userland at ${root}")
    endif()
  endforeach()
  set(JWEB_USERLAND_JDKS ${ids} PARENT_SCOPE)
endfunction()

if(CMAKE_CROSSCOMPILING)
  set(JWEB_TARGET_JDK ${CMAKE_BINARY_DIR}/target-jdk CACHE PATH
    "A JDK for the target processor, to run the tests in (tools/run-arm64-tests.sh unpacks one)")
  set(JWEB_TEST_EMULATOR ${CMAKE_CROSSCOMPILING_EMULATOR})
else()
  set(JWEB_TEST_EMULATOR "")
endif()
_jweb_find_jdks()
_jweb_find_userland_jdks()
if(NOT JWEB_JDKS AND JWEB_TEST_EMULATOR)
  message(FATAL_ERROR "No JDK 11 or newer for the target in ${JWEB_TARGET_JDK} (JWEB_TARGET_JDK); "
    "tools/run-arm64-tests.sh unpacks Debian's there")
elseif(NOT JWEB_JDKS)
  message(FATAL_ERROR "No JDK 11 or newer found: the build's java is ${Java_JAVA_EXECUTABLE}")
endif()
foreach(feature IN LISTS JWEB_JDKS)
  message(STATUS "JVM tests run on JDK ${feature}: ${JWEB_JDK${feature}_HOME}")
endforeach()
list(LENGTH JWEB_JDKS jdk_count)
if(jdk_count EQUAL 1 AND NOT JWEB_TEST_EMULATOR)
  message(STATUS "Only one JDK found: the JVM tests run on JDK ${JWEB_JDKS} alone. Another JDK 11 or "
    "newer under /usr/lib/jvm (or in JWEB_TEST_JDK_HOMES) adds a run of each on it.")
endif()
unset(jdk_count)

# The environment a test's runner reads its java from: JAVA, in JAVA_OPTIONS
# the options that JDK needs, separated by spaces, in EMULATOR what runs that
# java (empty but in a cross build or another userland), in JDK_HOME its
# folder as that java sees it, and in JDK_FEATURE its feature version. `jdk`
# is a feature version or a userland's id.
function(jweb_jdk_test_environment jdk out)
  list(JOIN JWEB_JDK${jdk}_OPTIONS " " options)
  set(feature ${jdk})
  if(DEFINED JWEB_JDK${jdk}_EMULATOR)
    list(JOIN JWEB_JDK${jdk}_EMULATOR " " emulator)
    set(feature ${JWEB_JDK${jdk}_FEATURE})
  else()
    list(JOIN JWEB_TEST_EMULATOR " " emulator)
  endif()
  set(${out}
    "JAVA=${JWEB_JDK${jdk}_JAVA};JAVA_OPTIONS=${options};EMULATOR=${emulator};JDK_HOME=${JWEB_JDK${jdk}_HOME};JDK_FEATURE=${feature}"
    PARENT_SCOPE)
endfunction()

# add_test once per JDK, as <name>_jdk<N>, labelled jdk<N> besides LABELS; the
# command reads that JDK's java from the environment (above). TIMEOUT is the
# native one; an emulated JVM gets three times as long. USERLAND_ONLY: on
# the other userlands' JDKs only. MIN_JDK: on that feature version and later.
#   jweb_add_jdk_tests(<name> [USERLAND_ONLY] [MIN_JDK <N>] [LABELS ...] [TIMEOUT <s>] COMMAND <command ...>)
function(jweb_add_jdk_tests name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "USERLAND_ONLY" "TIMEOUT;MIN_JDK" "LABELS;COMMAND")
  set(features ${JWEB_JDKS})
  if(arg_USERLAND_ONLY)
    set(features "")
  endif()
  set(userland_ids ${JWEB_USERLAND_JDKS})
  if(arg_MIN_JDK)
    foreach(feature IN LISTS features)
      if(feature LESS arg_MIN_JDK)
        list(REMOVE_ITEM features ${feature})
      endif()
    endforeach()
    foreach(id IN LISTS JWEB_USERLAND_JDKS)
      if(JWEB_JDK${id}_FEATURE LESS arg_MIN_JDK)
        list(REMOVE_ITEM userland_ids ${id})
      endif()
    endforeach()
  endif()
  set(timeout ${arg_TIMEOUT})
  if(timeout AND JWEB_TEST_EMULATOR)
    math(EXPR timeout "${timeout} * 3")
  endif()
  foreach(feature IN LISTS features)
    jweb_jdk_test_environment(${feature} environment)
    add_test(NAME ${name}_jdk${feature} COMMAND ${arg_COMMAND})
    set_tests_properties(${name}_jdk${feature} PROPERTIES
      LABELS "${arg_LABELS};jdk${feature}" ENVIRONMENT "${environment}")
    if(timeout)
      set_tests_properties(${name}_jdk${feature} PROPERTIES TIMEOUT ${timeout})
    endif()
  endforeach()
  foreach(id IN LISTS userland_ids)
    jweb_jdk_test_environment(${id} environment)
    add_test(NAME ${name}_${id} CONFIGURATIONS userland COMMAND ${arg_COMMAND})
    set_tests_properties(${name}_${id} PROPERTIES
      LABELS "${arg_LABELS};userland;${JWEB_JDK${id}_USERLAND};jdk${JWEB_JDK${id}_FEATURE}"
      ENVIRONMENT "${environment}")
    if(timeout)
      set_tests_properties(${name}_${id} PROPERTIES TIMEOUT ${timeout})
    endif()
  endforeach()
endfunction()

# Adds LABEL to the per-JDK tests <name>_<suffix>, for each name that follows
# and each of SUFFIXES. Called in the folder that registers them.
function(jweb_label_jdk_tests label suffixes)
  foreach(name IN LISTS ARGN)
    foreach(suffix IN LISTS suffixes)
      if(NOT TEST ${name}_${suffix})
        message(FATAL_ERROR "no test ${name}_${suffix} to label ${label}")
      endif()
      set_property(TEST ${name}_${suffix} APPEND PROPERTY LABELS ${label})
    endforeach()
  endforeach()
endfunction()

# The per-JDK tests named here (without _<userland>_jdk<N>) are left out of
# the userland run that every test run makes, with the label userland-full
# (ctest -C userland -L userland runs them).
function(jweb_userland_full_only)
  jweb_label_jdk_tests(userland-full "${JWEB_USERLAND_JDKS}" ${ARGN})
endfunction()

# Under emulation a JVM runs many times slower: the per-JDK tests named here
# (without _jdk<N>) are left out of the run that every test run makes, with
# the label arm64-full (ctest --preset arm64-full runs them).
function(jweb_full_run_only)
  if(JWEB_TEST_EMULATOR)
    list(TRANSFORM JWEB_JDKS PREPEND jdk OUTPUT_VARIABLE suffixes)
    jweb_label_jdk_tests(arm64-full "${suffixes}" ${ARGN})
  endif()
endfunction()

# The tests named here, registered with add_test in this folder, run on the
# build's JDK alone (the long runs).
function(jweb_on_build_jdk)
  jweb_jdk_test_environment(${JWEB_BUILD_JDK} environment)
  set_property(TEST ${ARGN} APPEND PROPERTY ENVIRONMENT "${environment}")
endfunction()

# The newest JDK of at least `minimum` with a javac: its folder and feature
# version in `home_out` and `feature_out`, or empty when there is none (always
# in a cross build, whose JDK does not run on the build machine).
function(jweb_newest_jdk minimum home_out feature_out)
  set(home "")
  set(newest "")
  set(features ${JWEB_JDKS})
  if(JWEB_TEST_EMULATOR)
    set(features "")
  endif()
  foreach(feature IN LISTS features)
    if(feature GREATER_EQUAL minimum AND EXISTS ${JWEB_JDK${feature}_HOME}/bin/javac)
      set(home ${JWEB_JDK${feature}_HOME})
      set(newest ${feature})
    endif()
  endforeach()
  set(${home_out} ${home} PARENT_SCOPE)
  set(${feature_out} ${newest} PARENT_SCOPE)
endfunction()
