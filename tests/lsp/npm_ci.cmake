# Installs the client tests' pinned npm packages into DESTINATION/node_modules, once for each
# version of the lock file: later runs, offline ones included, find them in place and download
# nothing.
#   cmake -DNPM=npm -DSOURCE=tests/lsp -DDESTINATION=build/tests/lsp -P tests/lsp/npm_ci.cmake
set(lock ${SOURCE}/package-lock.json)
set(stamp ${DESTINATION}/node_modules/.installed-package-lock.json)
if(EXISTS ${stamp})
  file(READ ${lock} wanted)
  file(READ ${stamp} installed)
  if(wanted STREQUAL installed)
    return()
  endif()
endif()
file(MAKE_DIRECTORY ${DESTINATION})
file(COPY ${SOURCE}/package.json ${lock} DESTINATION ${DESTINATION})
execute_process(COMMAND ${NPM} ci --no-audit --no-fund --prefer-offline
                WORKING_DIRECTORY ${DESTINATION} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "npm ci failed in ${DESTINATION}")
endif()
file(COPY_FILE ${lock} ${stamp})
