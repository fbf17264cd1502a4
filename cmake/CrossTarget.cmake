# Cross build: the stub arcula-sfx.exe and the core unit tests for the target.

file(GLOB ARCULA_PLATFORM_WIN32 CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/platform/win32/*.cpp")
# The entry point and the two runtime routines belong to the stub alone; the
# test programs have a C runtime of their own.
set(ARCULA_STUB_ONLY
  "${CMAKE_SOURCE_DIR}/platform/win32/entry.cpp"
  "${CMAKE_SOURCE_DIR}/platform/win32/crt.cpp")
list(REMOVE_ITEM ARCULA_PLATFORM_WIN32 ${ARCULA_STUB_ONLY})

# Size first: the stub's size matters as much as its speed.
# (No -fdata-sections: with this compiler zero-initialised statics then land
# in the file's data.)
# Arguments are pushed rather than stored into a frame reserved up front,
# and the stack keeps the platform's 4-byte alignment: together a sixth of
# the code. GCC pushes arguments only without stack probes, so no frame is
# probed: the stub's main thread commits ARCULA_STUB_STACK_COMMIT bytes of
# stack from the start, which covers its one frame larger than a page (the
# config block's, at start-up) with room to spare.
set(ARCULA_STUB_CODE_FLAGS -Os -ffunction-sections -fno-ident
    -mno-accumulate-outgoing-args -mno-stack-arg-probe -mpreferred-stack-boundary=2
    ${ARCULA_STUB_CXX_FLAGS})
set(ARCULA_STUB_STACK_COMMIT "SHELL:-Xlinker --stack -Xlinker 0x100000,0x10000")

include("${CMAKE_SOURCE_DIR}/tools/resgen/resources.cmake")
add_library(arcula_core OBJECT ${ARCULA_CORE_SOURCES} ${ARCULA_PLATFORM_COMMON} ${ARCULA_PLATFORM_WIN32} ${ARCULA_RESOURCE_SOURCES})
target_include_directories(arcula_core PUBLIC "${CMAKE_SOURCE_DIR}")
target_compile_options(arcula_core PRIVATE ${ARCULA_WARNINGS} ${ARCULA_STUB_CODE_FLAGS})

file(GLOB ARCULA_STUB_RESOURCES CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/stub/*.rc")
add_executable(arcula-sfx WIN32 ${ARCULA_STUB_ONLY} ${ARCULA_STUB_RESOURCES} $<TARGET_OBJECTS:arcula_core>)
target_include_directories(arcula-sfx PRIVATE "${CMAKE_SOURCE_DIR}")
target_compile_options(arcula-sfx PRIVATE
  $<$<COMPILE_LANGUAGE:CXX>:${ARCULA_WARNINGS} ${ARCULA_STUB_CODE_FLAGS}>)
set_target_properties(arcula-sfx PROPERTIES SUFFIX ".exe")
# No C runtime: our own entry point, only the four system libraries. A
# misspelt entry symbol would only warn and start at the top of .text, hence
# --fatal-warnings.
target_link_options(arcula-sfx PRIVATE
  -nostdlib -nostartfiles -mwindows -s
  -Wl,-e,_Entry@0 -Wl,--gc-sections -Wl,--fatal-warnings ${ARCULA_STUB_STACK_COMMIT}
  # The builder patches the settings block in the file: it must be there
  # whatever the code happens to read of it.
  -Wl,--undefined=_g_settings)
target_link_libraries(arcula-sfx PRIVATE kernel32 user32 gdi32 advapi32 gcc)

if(ARCULA_TESTS)
  add_subdirectory(tests)
endif()
