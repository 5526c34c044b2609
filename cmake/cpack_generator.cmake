# CPack's project configuration file (CPACK_PROJECT_CONFIG_FILE), read once
# per generator before it installs the files: the install code of
# cmake/JwebPackaging.cmake learns from it which kind of package it fills.
set(ENV{JWEB_CPACK_GENERATOR} "${CPACK_GENERATOR}")
