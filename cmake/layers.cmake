# The layers of src/, lowest first: sys; text and ui; package and net; agent;
# stub. Each folder is one static library that links the layers below it, so
# the linker takes them in that order. Each folder's sources are compiled
# against a view of src/ that holds only its own layer and the lower ones: an
# include of a higher layer ("stub/..." from sys) is not found and the build
# stops there. Tests, tools and the kit see the whole of src/ through
# lumcore (and lumwin on Windows).
set(LUM_LAYERS sys text ui package net agent stub)

set(LUM_SEES_sys sys)
set(LUM_SEES_text sys text ui)
set(LUM_SEES_ui sys text ui)
set(LUM_SEES_package sys text ui package net)
set(LUM_SEES_net sys text ui package net)
set(LUM_SEES_agent sys text ui package net agent)
set(LUM_SEES_stub sys text ui package net agent stub)

set(LUM_LINKS_sys "")
set(LUM_LINKS_text sys)
set(LUM_LINKS_ui sys)
set(LUM_LINKS_package sys text ui)
set(LUM_LINKS_net sys text ui)
set(LUM_LINKS_agent sys text ui package net)
set(LUM_LINKS_stub sys text ui package net agent)

add_library(lumcore INTERFACE)
target_include_directories(lumcore INTERFACE ${PROJECT_SOURCE_DIR}/src)
foreach(layer ${LUM_LAYERS})
  # Portable sources everywhere; the Win32 ones (*Win.cpp) in the Windows
  # tree only. The stub's program entry is the stub executable's own.
  file(GLOB srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${layer}/*.cpp)
  # The stub's program entry and its runtime pieces belong to the stub alone.
  list(FILTER srcs EXCLUDE REGEX "/src/stub/StubMain(Runtime)?\\.cpp$")
  if(NOT CMAKE_SYSTEM_NAME STREQUAL "Windows")
    list(FILTER srcs EXCLUDE REGEX "Win\\.cpp$")
  else()
    # The primitives under the portable code (sys/Platform.h: a lock, random
    # bytes) come from the system on Windows, from the standard library
    # natively.
    list(FILTER srcs EXCLUDE REGEX "/src/sys/PlatformStd\\.cpp$")
  endif()
  set(view ${CMAKE_BINARY_DIR}/layers/${layer})
  file(REMOVE_RECURSE ${view})
  file(MAKE_DIRECTORY ${view})
  foreach(seen ${LUM_SEES_${layer}})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${seen} ${view}/${seen} SYMBOLIC)
  endforeach()
  add_library(lum_${layer} STATIC ${srcs})
  target_include_directories(lum_${layer} PRIVATE ${view})
  # A function outside any header and any unnamed namespace is either missing
  # its declaration or dead: the product's code says which.
  target_compile_options(lum_${layer} PRIVATE -Wmissing-declarations ${LUM_STUB_FLAVOUR})
  foreach(below ${LUM_LINKS_${layer}})
    target_link_libraries(lum_${layer} PUBLIC lum_${below})
  endforeach()
  target_link_libraries(lumcore INTERFACE lum_${layer})
endforeach()
