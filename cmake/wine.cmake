# Running what a cross build makes: wine, with a private WINEPREFIX in the build folder
# (made once, on first use) and WINEPATH pointing at the DLLs the programs import:
# mingw's runtime, and Qt, QCustomPlot and hidapi from DREVONIX_WINDOWS_PREFIX.
find_program(DREVONIX_WINE NAMES wine REQUIRED)
find_program(DREVONIX_WINESERVER NAMES wineserver REQUIRED)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                OUTPUT_VARIABLE mingw_libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
cmake_path(GET mingw_libstdcxx PARENT_PATH mingw_runtime)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libwinpthread-1.dll
                OUTPUT_VARIABLE mingw_pthread OUTPUT_STRIP_TRAILING_WHITESPACE)
cmake_path(GET mingw_pthread PARENT_PATH mingw_pthread_dir)
cmake_path(NORMAL_PATH mingw_pthread_dir)
set(DREVONIX_WINE_DLL_DIRS ${mingw_runtime} ${mingw_pthread_dir} ${DREVONIX_WINDOWS_PREFIX}/bin)
list(JOIN DREVONIX_WINE_DLL_DIRS ";" wine_path)
string(REPLACE "/" "\\\\" wine_path "${wine_path}")
string(REPLACE ";" ";Z:" wine_path "Z:${wine_path}")
set(DREVONIX_WINEPREFIX ${PROJECT_BINARY_DIR}/wineprefix)
configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.in ${PROJECT_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_BINARY_DIR}/wine-run)
