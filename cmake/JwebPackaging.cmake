# What the library's users get: the install layout and the packages, for
# every target (tools/make-release.sh makes the whole set; docs/releasing.md).
#   Linux: two .deb and two .rpm packages, each with its symbols package, and
#   one .tar.gz with all four; Windows: one .zip.
# Components (a package each on Linux):
#   library          the JNI library, tsapi.jar and jweb-check, for hosts
#   standin          the stand-in engines, their control jar and library, the
#                    examples, for dry runs and tests
#   <component>_debug  their debug symbols
# What ships is stripped; each binary's DWARF goes, through objcopy, into its
# component's _debug files, found by GNU build-id on Linux
# (lib/debug/.build-id/xx/yyyy.debug) and by debug link everywhere
# (cmake/split_debug.cmake).
include_guard(GLOBAL)
include(GNUInstallDirs)

# Placeholders (.invalid: a domain that never resolves), which a release
# sets to its own.
set(JWEB_PACKAGE_CONTACT "jwebnative maintainers <maintainers@jwebnative.example.invalid>"
  CACHE STRING "Maintainer of the packages (name <address>)")
set(JWEB_HOMEPAGE "https://jwebnative.example.invalid/" CACHE STRING "Home page the packages name")

if(WIN32)
  set(jweb_processor ${CMAKE_SYSTEM_PROCESSOR})  # x86_64, x86
  set(jweb_bin_dir .)
  set(jweb_jni_dir .)
  set(jweb_standin_dir standin)
  set(jweb_standin_no_revert_dir standin-no-revert)
  set(jweb_java_dir .)
  set(jweb_doc_dir .)
  set(jweb_standin_doc_dir standin)
else()
  # Debian's names for the processors; rpm's are set below.
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
    set(jweb_processor arm64)
  else()
    set(jweb_processor ${CMAKE_SYSTEM_PROCESSOR})
  endif()
  set(jweb_bin_dir ${CMAKE_INSTALL_BINDIR})
  # Debian's JVMs search <prefix>/lib/jni by default when the prefix is /usr.
  set(jweb_jni_dir ${CMAKE_INSTALL_LIBDIR}/jni)
  # Not on the loader's path: a host loads a stand-in by its full path.
  set(jweb_standin_dir ${CMAKE_INSTALL_LIBDIR}/jwebnative/standin)
  set(jweb_standin_no_revert_dir ${CMAKE_INSTALL_LIBDIR}/jwebnative/standin-no-revert)
  set(jweb_java_dir ${CMAKE_INSTALL_DATADIR}/jwebnative)
  set(jweb_doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/jwebnative)
  set(jweb_standin_doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/jwebnative-standin)
endif()

# jweb_install_split(<target> <destination> <component>): the target's file,
# stripped and linked to its debug file, into <component>; the debug file
# into <component>_debug.
function(jweb_install_split target destination component)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL EXECUTABLE)
    install(PROGRAMS $<TARGET_FILE:${target}> DESTINATION ${destination} COMPONENT ${component})
  else()  # a shared library is not executable (Debian's rule)
    install(FILES $<TARGET_FILE:${target}> DESTINATION ${destination} COMPONENT ${component})
  endif()
  set(common "set(JWEB_SPLIT_BINARY \"$<TARGET_FILE:${target}>\")
    set(JWEB_SPLIT_WORK \"${CMAKE_BINARY_DIR}/split-debug/${target}\")
    set(JWEB_SPLIT_DESTINATION \"${destination}\")
    set(JWEB_SPLIT_WINDOWS ${WIN32})
    set(JWEB_SPLIT_SOURCE_DIR \"${PROJECT_SOURCE_DIR}\")
    set(JWEB_OBJCOPY \"${CMAKE_OBJCOPY}\")
    set(JWEB_READELF \"${CMAKE_READELF}\")")
  set(script ${PROJECT_SOURCE_DIR}/cmake/split_debug.cmake)
  install(CODE "${common}\nset(JWEB_SPLIT_MODE strip)\ninclude(\"${script}\")" COMPONENT ${component})
  install(CODE "${common}\nset(JWEB_SPLIT_MODE debug)\ninclude(\"${script}\")" COMPONENT ${component}_debug)
endfunction()

# jweb_install_symbols_docs(<doc folder> <component>): the copyright and
# changelog into the symbols package's own doc folder, named as each
# packaging names that package: <doc folder>-dbgsym in a .deb (and the
# archive), <doc folder>-debuginfo in an .rpm. CPack installs each
# generator's files apart; JWEB_CPACK_GENERATOR (the environment, set by
# cmake/cpack_generator.cmake) tells the install which one it is.
function(jweb_install_symbols_docs doc_dir component)
  set(files "")
  foreach(file IN LISTS jweb_package_docs)
    cmake_path(ABSOLUTE_PATH file BASE_DIRECTORY ${PROJECT_SOURCE_DIR})
    string(APPEND files " \"${file}\"")
  endforeach()
  install(CODE "if(\"\$ENV{JWEB_CPACK_GENERATOR}\" STREQUAL RPM)
      set(jweb_symbols_doc_dir \"${doc_dir}-debuginfo\")
    else()
      set(jweb_symbols_doc_dir \"${doc_dir}-dbgsym\")
    endif()
    file(INSTALL${files} DESTINATION \"\${CMAKE_INSTALL_PREFIX}/\${jweb_symbols_doc_dir}\"
      FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)"
    COMPONENT ${component})
endfunction()

# ---- the library ----
jweb_install_split(jwebnative ${jweb_jni_dir} library)
jweb_install_split(jweb_check ${jweb_bin_dir} library)
install_jar(jweb_fixtures DESTINATION ${jweb_java_dir} COMPONENT library)
install(FILES LICENSE DESTINATION ${jweb_doc_dir} COMPONENT library)
if(WIN32)
  install(FILES THIRD-PARTY-NOTICES DESTINATION ${jweb_doc_dir} RENAME THIRD-PARTY-NOTICES.txt COMPONENT library)
  configure_file(packaging/windows/README.txt.in ${CMAKE_BINARY_DIR}/packaging/README.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/README.txt DESTINATION ${jweb_doc_dir} COMPONENT library)
else()
  # Debian's rules: each package's doc folder has its copyright and a
  # changelog, and manual pages and changelogs are compressed with gzip -9n.
  set(jweb_gzipped ${CMAKE_BINARY_DIR}/packaging)
  configure_file(packaging/debian/changelog.in ${jweb_gzipped}/changelog @ONLY)
  file(COPY_FILE packaging/jweb-check.1 ${jweb_gzipped}/jweb-check.1 ONLY_IF_DIFFERENT)
  foreach(file changelog jweb-check.1)
    if(NOT EXISTS ${jweb_gzipped}/${file}.gz OR ${jweb_gzipped}/${file} IS_NEWER_THAN ${jweb_gzipped}/${file}.gz)
      execute_process(COMMAND gzip -9nkf ${jweb_gzipped}/${file} COMMAND_ERROR_IS_FATAL ANY)
    endif()
  endforeach()
  set(jweb_package_docs packaging/debian/copyright ${jweb_gzipped}/changelog.gz)
  install(FILES THIRD-PARTY-NOTICES README.md ${jweb_package_docs} DESTINATION ${jweb_doc_dir} COMPONENT library)
  # The host's documents the README links to, where its links find them.
  install(FILES docs/host-guide.md docs/engine-failures.md docs/platforms.md docs/method-reference.md docs/releasing.md
    DESTINATION ${jweb_doc_dir}/docs COMPONENT library)
  install(FILES ${jweb_gzipped}/jweb-check.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT library)
  jweb_install_symbols_docs(${jweb_doc_dir} library_debug)
endif()

# ---- the stand-in ----
jweb_install_split(standin_engine ${jweb_standin_dir} standin)
jweb_install_split(standin_engine_no_revert ${jweb_standin_no_revert_dir} standin)
install(FILES standin_engine/README.md docs/trace-format.md DESTINATION ${jweb_standin_doc_dir} COMPONENT standin)
# The failure-injection API: tsapi.standin.Engine finds its natives through
# java.library.path, as tsapi.web does.
jweb_install_split(standin_control ${jweb_jni_dir} standin)
install_jar(standin_control_jar DESTINATION ${jweb_java_dir} COMPONENT standin)
install_jar(jweb_examples DESTINATION ${jweb_java_dir} COMPONENT standin)
if(WIN32)
  # An example against the stand-in, with its trace, from the unpacked zip.
  configure_file(packaging/windows/run-example.cmd ${CMAKE_BINARY_DIR}/packaging/run-example.cmd @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/run-example.cmd DESTINATION . COMPONENT standin)
else()
  install(FILES ${jweb_package_docs} DESTINATION ${jweb_standin_doc_dir} COMPONENT standin)
  # lintian's overrides, with their reasons, in the .deb alone.
  set(overrides ${PROJECT_SOURCE_DIR}/packaging/debian/jwebnative-standin.lintian-overrides)
  install(CODE "if(\"\$ENV{JWEB_CPACK_GENERATOR}\" STREQUAL DEB)
      file(INSTALL \"${overrides}\" DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides\"
        RENAME jwebnative-standin FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    endif()" COMPONENT standin)
  jweb_install_symbols_docs(${jweb_standin_doc_dir} standin_debug)
endif()

# ---- packages ----
set(CPACK_PACKAGE_NAME jwebnative)
set(CPACK_PACKAGE_VENDOR "${JWEB_VENDOR}")
set(CPACK_PACKAGE_CONTACT "${JWEB_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_HOMEPAGE_URL "${JWEB_HOMEPAGE}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES OFF)  # cmake/split_debug.cmake strips, keeping the symbols apart
# The folders CPack makes have these modes whatever the packager's umask
# (each file's are set by its install() above).
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
  GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_COMPONENTS_ALL library library_debug standin standin_debug)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)  # one archive with everything
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME Windows-${jweb_processor})
  include(CPack)
  return()
endif()
set(CPACK_GENERATOR DEB RPM TGZ)
set(CPACK_SYSTEM_NAME Linux-${jweb_processor})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack_generator.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/deb_build_ids.cmake)

set(jweb_library_summary "JNI bridge between Java test scripts and the web replay engine")
set(jweb_library_description "Java test scripts call the native methods of tsapi.web; this library
turns their strings, string arrays and byte arrays into C arguments and calls
the web replay engine's function of the same name, turning the engine's
faults and exceptions into tsapi.exceptions.Abort. The package holds the
library, tsapi.jar (the Java side) and jweb-check, which tells what the
library would find in an engine module.")
set(jweb_standin_summary "Stand-in web replay engine for jwebnative dry runs")
set(jweb_standin_description "A libTswReplayMain.so with the 48 entries of the web replay engine that
records each call, traces it and returns what a test chooses, or fails on
request; a variant without web_revert_auto_header; tsapi.standin.Engine, its
failure-injection API (a jar and its JNI library); and example scripts with
the host that runs them.")

# Two .deb files, one per component, each with its -dbgsym package.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION java)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME jwebnative)
set(CPACK_DEBIAN_LIBRARY_DESCRIPTION "${jweb_library_summary}\n${jweb_library_description}")
# What tests/check_glibc_versions.sh allows: glibc 2.17, GCC 4.8's libstdc++.
set(CPACK_DEBIAN_LIBRARY_PACKAGE_DEPENDS "libc6 (>= 2.17), libstdc++6 (>= 4.8), libgcc-s1 | libgcc1")
set(CPACK_DEBIAN_STANDIN_PACKAGE_NAME jwebnative-standin)
set(CPACK_DEBIAN_STANDIN_DESCRIPTION "${jweb_standin_summary}\n${jweb_standin_description}")
set(CPACK_DEBIAN_STANDIN_PACKAGE_DEPENDS "jwebnative (= ${PROJECT_VERSION}), libc6 (>= 2.17), libgcc-s1 | libgcc1")
foreach(component library standin)
  string(TOUPPER ${component} upper)
  set(name ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  set(CPACK_DEBIAN_${upper}_DEBUG_PACKAGE_NAME ${name}-dbgsym)
  set(CPACK_DEBIAN_${upper}_DEBUG_PACKAGE_SECTION debug)
  set(CPACK_DEBIAN_${upper}_DEBUG_PACKAGE_DEPENDS "${name} (= ${PROJECT_VERSION})")
  set(CPACK_DEBIAN_${upper}_DEBUG_DESCRIPTION "debug symbols for ${name}
The DWARF of the files of ${name}, by GNU build-id under
/usr/lib/debug/.build-id, where gdb, addr2line and other debuggers look.")
endforeach()

# The same as .rpm files (each with its -debuginfo package). rpmbuild lists
# what the files need itself (libc.so.6(GLIBC_2.17)(64bit), ...): the
# check_glibc_versions.sh limits.
set(CPACK_RPM_COMPONENT_INSTALL ON)
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_LICENSE Apache-2.0)
set(CPACK_RPM_PACKAGE_URL "${JWEB_HOMEPAGE}")
set(CPACK_RPM_PACKAGE_GROUP "Development/Libraries")
configure_file(packaging/rpm-changelog.in ${CMAKE_BINARY_DIR}/packaging/rpm-changelog @ONLY)
set(CPACK_RPM_CHANGELOG_FILE ${CMAKE_BINARY_DIR}/packaging/rpm-changelog)
set(CPACK_RPM_LIBRARY_PACKAGE_NAME jwebnative)
set(CPACK_RPM_LIBRARY_PACKAGE_SUMMARY "${jweb_library_summary}")
set(CPACK_RPM_LIBRARY_PACKAGE_DESCRIPTION "${jweb_library_description}")
set(CPACK_RPM_STANDIN_PACKAGE_NAME jwebnative-standin)
set(CPACK_RPM_STANDIN_PACKAGE_SUMMARY "${jweb_standin_summary}")
set(CPACK_RPM_STANDIN_PACKAGE_DESCRIPTION "${jweb_standin_description}")
set(CPACK_RPM_STANDIN_PACKAGE_REQUIRES "jwebnative = ${PROJECT_VERSION}")
foreach(component library standin)
  string(TOUPPER ${component} upper)
  set(name ${CPACK_RPM_${upper}_PACKAGE_NAME})
  set(CPACK_RPM_${upper}_DEBUG_PACKAGE_NAME ${name}-debuginfo)
  set(CPACK_RPM_${upper}_DEBUG_PACKAGE_SUMMARY "Debug symbols for ${name}")
  set(CPACK_RPM_${upper}_DEBUG_PACKAGE_DESCRIPTION "The DWARF of the files of ${name}, by GNU build-id under
/usr/lib/debug/.build-id, where gdb, addr2line and other debuggers look.")
  set(CPACK_RPM_${upper}_DEBUG_PACKAGE_REQUIRES "${name} = ${PROJECT_VERSION}")
  set(CPACK_RPM_${upper}_DEBUG_PACKAGE_GROUP "Development/Debug")
endforeach()
# The .build-id files are the -debuginfo packages' alone, as in the .deb
# files: no links from /usr/lib/.build-id into the binaries' packages.
# The same sources give the same .rpm (docs/releasing.md): rpmbuild takes the
# build time and every file's time from SOURCE_DATE_EPOCH (tools/make-release.sh
# sets it from the commit), and names no build machine.
set(CPACK_RPM_SPEC_MORE_DEFINE "%define _build_id_links none\n%define packager ${JWEB_PACKAGE_CONTACT}
%define use_source_date_epoch_as_buildtime 1\n%define clamp_mtime_to_source_date_epoch 1
%define _buildhost reproducible.invalid")
# Both kinds of package own only their own folders, not /usr/lib/debug's.
# rpm wants each folder a package fills owned by a package: both packages
# that put a library into /usr/lib/jni own it, as rpm allows for folders.
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION /usr/lib/debug /usr/lib/debug/.build-id
  /usr/share/man /usr/share/man/man1
  /usr/share/java)
if(jweb_processor STREQUAL arm64)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)  # the target's, not the build machine's that dpkg reports
  set(CPACK_RPM_PACKAGE_ARCHITECTURE aarch64)
endif()
include(CPack)
