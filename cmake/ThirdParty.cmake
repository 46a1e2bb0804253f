# libxlsxwriter and zlib, from the Debian source packages tools/deps.sh
# fetches (pinned there) into build/third-party, compiled here as static
# libraries for whichever tree this is: mingw-w64 or native.
set(RW_THIRD_PARTY_DIR "${CMAKE_SOURCE_DIR}/build/third-party" CACHE PATH
    "Where tools/deps.sh unpacked libxlsxwriter and zlib")
set(RW_XLSX_DIR "${RW_THIRD_PARTY_DIR}/libxlsxwriter")
set(RW_ZLIB_DIR "${RW_THIRD_PARTY_DIR}/zlib")
if(NOT EXISTS "${RW_XLSX_DIR}/include/xlsxwriter.h" OR NOT EXISTS "${RW_ZLIB_DIR}/zlib.h")
    message(FATAL_ERROR "libxlsxwriter and zlib sources are missing from ${RW_THIRD_PARTY_DIR}: "
                        "run bash tools/deps.sh")
endif()

# Their code is theirs: built with its own warnings off.
add_library(rw_zlib STATIC
    ${RW_ZLIB_DIR}/adler32.c ${RW_ZLIB_DIR}/compress.c ${RW_ZLIB_DIR}/crc32.c
    ${RW_ZLIB_DIR}/deflate.c ${RW_ZLIB_DIR}/infback.c ${RW_ZLIB_DIR}/inffast.c
    ${RW_ZLIB_DIR}/inflate.c ${RW_ZLIB_DIR}/inftrees.c ${RW_ZLIB_DIR}/trees.c
    ${RW_ZLIB_DIR}/uncompr.c ${RW_ZLIB_DIR}/zutil.c)
target_include_directories(rw_zlib SYSTEM PUBLIC ${RW_ZLIB_DIR})
target_compile_options(rw_zlib PRIVATE -w)
set_target_properties(rw_zlib PROPERTIES POSITION_INDEPENDENT_CODE ON)

file(GLOB RW_XLSX_SOURCES CONFIGURE_DEPENDS ${RW_XLSX_DIR}/src/*.c)
add_library(rw_xlsxwriter STATIC ${RW_XLSX_SOURCES}
    ${RW_XLSX_DIR}/third_party/minizip/ioapi.c ${RW_XLSX_DIR}/third_party/minizip/zip.c
    ${RW_XLSX_DIR}/third_party/tmpfileplus/tmpfileplus.c ${RW_XLSX_DIR}/third_party/md5/md5.c)
target_include_directories(rw_xlsxwriter SYSTEM PUBLIC ${RW_XLSX_DIR}/include)
target_compile_definitions(rw_xlsxwriter PRIVATE NOCRYPT NOUNCRYPT)
if(WIN32)
    # As the library's own build does for a static mingw-w64 library.
    target_compile_definitions(rw_xlsxwriter PRIVATE USE_FILE32API)
endif()
set_target_properties(rw_xlsxwriter PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_compile_options(rw_xlsxwriter PRIVATE -w)
target_link_libraries(rw_xlsxwriter PUBLIC rw_zlib)

# The calls' workbook: the one part of the records that needs the library.
function(rw_add_export)
    add_library(rwexport STATIC ${RW_SRC}/records/CallWorkbook.cpp)
    target_link_libraries(rwexport PUBLIC rwcore rw_xlsxwriter)
endfunction()
