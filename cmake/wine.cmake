# Windows programs of the build run under the build's own Wine prefix
# (tools/wine-prefix.sh makes it; tools/wine-run.sh starts a program in it).
set(TIDEWELL_WINE_RUN env TIDEWELL_TREE=${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR}/tools/wine-run.sh)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TIDEWELL_WINE_RUN})
