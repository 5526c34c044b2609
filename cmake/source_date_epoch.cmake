# The release's time, for the steps of a build that write a time into a
# file (a jar's entries, a PE header made by objcopy): SOURCE_DATE_EPOCH
# when it is set (tools/make-release.sh sets it), else the commit's time,
# else 1980-01-01 (zip's first day) for sources outside a git checkout.
# Sets jweb_epoch and the environment's SOURCE_DATE_EPOCH, which the tools
# these steps run (objcopy, string(TIMESTAMP)) read.
#   include(source_date_epoch.cmake) with SOURCE_DIR set
set(jweb_epoch "$ENV{SOURCE_DATE_EPOCH}")
if(jweb_epoch STREQUAL "")
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} log -1 --format=%ct
      OUTPUT_VARIABLE jweb_epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  if(jweb_epoch STREQUAL "")
    set(jweb_epoch 315532800)
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${jweb_epoch})
endif()
