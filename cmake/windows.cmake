# Windows tree: the portable library, the Win32 units, stub.exe, the Windows
# tests and the test kit. Everything is linked statically so that no DLL
# beyond the system's is needed.
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE MinSizeRel CACHE STRING "" FORCE)
endif()
# The builder's half of the package code (lumpack for Windows links it, the
# stub never does) keeps exceptions: std::filesystem reports through them.
set_source_files_properties(
  ${PROJECT_SOURCE_DIR}/src/package/PackWriter.cpp ${PROJECT_SOURCE_DIR}/src/package/PackEntryEncode.cpp
  TARGET_DIRECTORY lum_package PROPERTIES COMPILE_OPTIONS "-fexceptions;-fasynchronous-unwind-tables")
add_link_options(-static -static-libgcc -static-libstdc++ -Wl,--gc-sections)

# Which Windows flavour this tree is: the shipped 32-bit one (i686), or the
# 64-bit one (x86_64) that exists only to run the same sources under a 64-bit
# Wine. The test harness reads the Wine architecture of the tree from the file
# wine-arch in the build folder.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(LUM_MINGW_TRIPLE x86_64-w64-mingw32)
  set(LUM_WINE_ARCH win64)
else()
  set(LUM_MINGW_TRIPLE i686-w64-mingw32)
  set(LUM_WINE_ARCH win32)
endif()
file(WRITE ${CMAKE_BINARY_DIR}/wine-arch "${LUM_WINE_ARCH}\n")

# Inflate comes from zlib's own sources (third_party/zlib), built here for
# size: the distribution's libz.a is built for speed, without a section per
# function and with unwind tables, so every inflate entry point rode along
# (13 KB of the stub). The two loops that do the work stay speed-optimised.
# Deflate (lumpack, the tests) still comes from the static libz.a, never
# libz.dll.a (which would need zlib1.dll). lum_inflate precedes it on every
# link line, so inflate, adler32 and zlib's allocator come from here and
# libz.a only adds what deflate needs beyond them.
set(LUM_ZLIB_DIR ${PROJECT_SOURCE_DIR}/third_party/zlib)
add_library(lum_inflate STATIC ${LUM_ZLIB_DIR}/inflate.c ${LUM_ZLIB_DIR}/inftrees.c ${LUM_ZLIB_DIR}/inffast.c
  ${LUM_ZLIB_DIR}/adler32.c ${LUM_ZLIB_DIR}/zutil.c)
target_include_directories(lum_inflate PUBLIC ${LUM_ZLIB_DIR})
# Packages carry zlib streams only: without the gzip wrapper, inflate needs
# no CRC-32 (deflate's gzip writer still finds it in libz.a).
target_compile_definitions(lum_inflate PRIVATE NO_GZIP)
target_compile_options(lum_inflate PRIVATE -w ${LUM_STUB_FLAVOUR_C})
set_source_files_properties(${LUM_ZLIB_DIR}/inffast.c ${LUM_ZLIB_DIR}/adler32.c
  TARGET_DIRECTORY lum_inflate PROPERTIES COMPILE_OPTIONS "-O2")
# inflate() itself (the block headers, stored blocks, the window) at -Os:
# -O2 measured 2 KB larger and no faster within the benchmark's noise.
set_source_files_properties(${LUM_ZLIB_DIR}/inflate.c
  TARGET_DIRECTORY lum_inflate PROPERTIES COMPILE_OPTIONS "-Os")
set(LUM_ZLIB_STATIC /usr/${LUM_MINGW_TRIPLE}/lib/libz.a)
if(NOT EXISTS ${LUM_ZLIB_STATIC})
  message(FATAL_ERROR "static zlib not found: run tools/bootstrap.sh")
endif()
target_link_libraries(lum_package PUBLIC lum_inflate ${LUM_ZLIB_STATIC})

# The layer libraries hold the Win32 units too; lumwin adds the system's.
add_library(lumwin INTERFACE)
target_link_libraries(lumwin INTERFACE lumcore)
# wininet and version are loaded at run time from the system folder, never
# imported: leaving them out makes a stray static import fail to link.
set(LUM_WIN_SYSLIBS comctl32 gdi32 user32 advapi32 shell32 psapi)
target_link_libraries(lum_sys PUBLIC ${LUM_WIN_SYSLIBS})

find_package(Python3 REQUIRED COMPONENTS Interpreter)

# stub.exe: GUI subsystem, size-optimised, stripped, with its PE header moved
# to offset 256 (the package-end mark lives in the bytes before it).
add_executable(stub WIN32 ${PROJECT_SOURCE_DIR}/src/stub/StubMain.cpp ${PROJECT_SOURCE_DIR}/src/stub/StubMainRuntime.cpp
  ${PROJECT_SOURCE_DIR}/src/stub/stub.rc)
target_link_libraries(stub PRIVATE lumwin)
target_compile_options(stub PRIVATE -Os ${LUM_STUB_FLAVOUR} -Wmissing-declarations)
# The map feeds bench/stub_size.py. Dynamic base (with its relocations) and
# NX compatibility are the linker's defaults; they stay on, and the stub
# declares itself terminal-server aware.
target_link_options(stub PRIVATE -s -Wl,-Map=${CMAKE_BINARY_DIR}/stub.map -Wl,--dynamicbase -Wl,--nxcompat
  -Wl,--tsaware)
# One partition: the default partitioning crashes this g++ 12 (and one is
# also the smallest). The optimisation level travels in the objects.
if(LUM_STUB_LTO)
  target_link_options(stub PRIVATE -flto -flto-partition=one)
endif()
# windres does not tell the build which files a script names.
set_source_files_properties(${PROJECT_SOURCE_DIR}/src/stub/stub.rc PROPERTIES
  OBJECT_DEPENDS "${PROJECT_SOURCE_DIR}/src/stub/stub.ico;${PROJECT_SOURCE_DIR}/src/stub/stub.manifest")
add_custom_command(TARGET stub POST_BUILD
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/pe_header_at_256.py $<TARGET_FILE:stub>
  COMMENT "Moving the PE header of stub.exe to offset 256")

# Every program defined after this line links the fat objects' ordinary code.
add_link_options(-fno-lto)

# stubfault: the stub with a fault injected on request, for the tests of its
# error boundary (never shipped). Laid out like stub.exe, so lumpack takes it.
add_executable(stubfault WIN32 ${PROJECT_SOURCE_DIR}/tests/kit/stubfault/StubFault.cpp
  ${PROJECT_SOURCE_DIR}/src/stub/StubMainRuntime.cpp ${PROJECT_SOURCE_DIR}/src/stub/stub.rc)
target_link_libraries(stubfault PRIVATE lumwin)
target_compile_options(stubfault PRIVATE -Os)
target_link_options(stubfault PRIVATE -s)
add_custom_command(TARGET stubfault POST_BUILD
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/pe_header_at_256.py $<TARGET_FILE:stubfault>
  COMMENT "Moving the PE header of stubfault.exe to offset 256")

# lumpack for Windows authors (its tests run in the native tree).
if(EXISTS ${PROJECT_SOURCE_DIR}/tools/lumpack/CMakeLists.txt)
  add_subdirectory(tools/lumpack)
endif()

# Test kit: every tests/kit/*.cpp is one Windows helper program.
file(GLOB LUM_KIT_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/kit/*.cpp)
foreach(src ${LUM_KIT_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  # Test programs may import what they like (the raw WinINet loop, for one).
  target_link_libraries(${name} PRIVATE lumwin wininet version)
  if(name MATCHES "^(tracecat|uidriver|extractprobe|idletimer)$")
    set_target_properties(${name} PROPERTIES WIN32_EXECUTABLE ON)
  endif()
endforeach()

# Sample engine and other example programs with their own CMake file.
if(EXISTS ${PROJECT_SOURCE_DIR}/examples/CMakeLists.txt)
  add_subdirectory(examples)
endif()

# The Wine prefix is prepared once per test run; its cleanup stops the
# wineserver and the Xvfb that the harness may have started.
set(LUM_WINE_ENV ${PROJECT_SOURCE_DIR}/tests/kit/wineenv.sh)
add_test(NAME wine_prepare COMMAND bash ${LUM_WINE_ENV} prepare ${CMAKE_BINARY_DIR})
set_tests_properties(wine_prepare PROPERTIES FIXTURES_SETUP wine LABELS "win;e2e")
add_test(NAME wine_cleanup COMMAND bash ${LUM_WINE_ENV} cleanup ${CMAKE_BINARY_DIR})
set_tests_properties(wine_cleanup PROPERTIES FIXTURES_CLEANUP wine LABELS "win;e2e")
set(LUM_TEST_ENV "LUM_BUILD_DIR=${CMAKE_BINARY_DIR};LUM_SOURCE_DIR=${PROJECT_SOURCE_DIR}")

file(GLOB LUM_WIN_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/win/*.cpp)
if(LUM_WIN_TESTS)
  add_executable(win_tests ${LUM_WIN_TESTS})
  target_link_libraries(win_tests PRIVATE lumwin gtest gtest_main)
  # One ctest entry per suite keeps the Wine start-up cost low.
  add_test(NAME win_tests COMMAND win_tests)
  set_tests_properties(win_tests PROPERTIES LABELS win FIXTURES_REQUIRED wine
    ENVIRONMENT "${LUM_TEST_ENV}" TIMEOUT 600)
endif()

# The shipped stub's size budget and the protections of its header. The
# budget is the stub's goal, 200 KB. It never goes up: a change that crosses
# it pays for itself first (bench/stub_size.py shows what grew).
set(LUM_STUB_BUDGET 204800)  # bytes
foreach(case size_budget protections header_place_and_checksum)
  add_test(NAME stub_image_${case} COMMAND ${Python3_EXECUTABLE}
    ${PROJECT_SOURCE_DIR}/tests/image/test_stub_image.py StubImage.test_${case})
  set_tests_properties(stub_image_${case} PROPERTIES LABELS win
    ENVIRONMENT "LUM_BUILD_DIR=${CMAKE_BINARY_DIR};LUM_STUB_BUDGET=${LUM_STUB_BUDGET}")
endforeach()

# End-to-end scenarios: each tests/e2e/test_*.py runs the real stub under Wine.
file(GLOB LUM_E2E_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/e2e/test_*.py)
foreach(script ${LUM_E2E_TESTS})
  get_filename_component(name ${script} NAME_WE)
  add_test(NAME e2e_${name} COMMAND ${Python3_EXECUTABLE} ${script})
  set_tests_properties(e2e_${name} PROPERTIES LABELS e2e FIXTURES_REQUIRED wine
    ENVIRONMENT "${LUM_TEST_ENV};LUM_NATIVE_BUILD_DIR=${LUM_NATIVE_BUILD_DIR}" TIMEOUT 600
    DEPENDS wine_prepare)
endforeach()
# The update cycle's files run whole updates one after another (several
# minutes under Wine).
foreach(name test_agent_update test_agent_cycle)
  if(TEST e2e_${name})
    set_tests_properties(e2e_${name} PROPERTIES TIMEOUT 1200)
  endif()
endforeach()

# --- planted DLL fixture ---
# A library that leaves a marker file beside itself when loaded: the Win64
# tests plant it beside a program under system libraries' names. Its version
# resource feeds the version readers' tests.
add_library(plantdll SHARED ${PROJECT_SOURCE_DIR}/tests/kit/plantdll/PlantDll.cpp
  ${PROJECT_SOURCE_DIR}/tests/kit/plantdll/PlantDll.rc)
set_target_properties(plantdll PROPERTIES PREFIX "")
if(TARGET win_tests)
  add_dependencies(win_tests plantdll sysprobe folderprobe)
endif()
# --- end of planted DLL fixture ---
