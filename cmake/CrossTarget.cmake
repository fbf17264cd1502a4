# Cross build: the stub and the core unit tests for the target. The same
# sources make both stubs: arcula-sfx.exe for 32-bit Windows (i686) and
# arcula-sfx64.exe for 64-bit Windows (x86-64).

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(ARCULA_TARGET_ARCH x64)
  set(ARCULA_STUB_TARGET arcula-sfx64)
  # The 64-bit calling convention decorates no symbol.
  set(ARCULA_SYMBOL_PREFIX "")
  set(ARCULA_ENTRY_SYMBOL Entry)
  # The 64-bit ABI keeps the stack 16-byte aligned; there is nothing to trade.
  set(ARCULA_ARCH_CODE_FLAGS "")
else()
  set(ARCULA_TARGET_ARCH x86)
  set(ARCULA_STUB_TARGET arcula-sfx)
  set(ARCULA_SYMBOL_PREFIX "_")
  set(ARCULA_ENTRY_SYMBOL _Entry@0)
  set(ARCULA_ARCH_CODE_FLAGS -mpreferred-stack-boundary=2)
endif()

file(GLOB ARCULA_PLATFORM_WIN32 CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/platform/win32/*.cpp")
# The entry point and the two runtime routines belong to the stub alone; the
# test programs have a C runtime of their own.
set(ARCULA_STUB_ONLY
  "${CMAKE_SOURCE_DIR}/platform/win32/entry.cpp"
  "${CMAKE_SOURCE_DIR}/platform/win32/crt.cpp")
list(REMOVE_ITEM ARCULA_PLATFORM_WIN32 ${ARCULA_STUB_ONLY})

# Size first: the stub's size matters as much as its speed (the budget,
# section by section, is in cmake/stub-size.md).
# (No -fdata-sections: with this compiler zero-initialised statics then land
# in the file's data.)
# This compiler keeps a frame pointer unless told not to: without it, a
# twentieth of the code. Link-time optimisation sees the whole stub at once;
# the routines no caller outside it can reach then take their arguments in
# registers, and the routines called from one place are inlined: another
# tenth. It changes no calling convention that Windows sees (window and
# dialog procedures and the entry point are declared stdcall).
# Arguments are pushed rather than stored into a frame reserved up front,
# and the stack keeps the platform's 4-byte alignment: together a sixth of
# the code. GCC pushes arguments only without stack probes, so no frame is
# probed: the stub's main thread commits ARCULA_STUB_STACK_COMMIT bytes of
# stack from the start, which covers its one frame larger than a page (the
# config block's, at start-up) with room to spare.
set(ARCULA_STUB_CODE_FLAGS -Os -fno-ident -fomit-frame-pointer -flto
    -mno-accumulate-outgoing-args -mno-stack-arg-probe ${ARCULA_ARCH_CODE_FLAGS}
    ${ARCULA_STUB_CXX_FLAGS})
# A section per function lets the linker drop what no one calls from code
# compiled the usual way (crt.cpp, the unit tests). Code generated at link
# time has no dead routines left, and there a section per routine would
# only pad each to 16 bytes.
set(ARCULA_STUB_COMPILE_FLAGS ${ARCULA_STUB_CODE_FLAGS} -ffunction-sections)
set(ARCULA_STUB_STACK_COMMIT "SHELL:-Xlinker --stack -Xlinker 0x100000,0x10000")

include("${CMAKE_SOURCE_DIR}/tools/resgen/resources.cmake")
add_library(arcula_core OBJECT ${ARCULA_CORE_SOURCES} ${ARCULA_PLATFORM_COMMON} ${ARCULA_PLATFORM_WIN32} ${ARCULA_RESOURCE_SOURCES})
target_include_directories(arcula_core PUBLIC "${CMAKE_SOURCE_DIR}")
target_compile_options(arcula_core PRIVATE ${ARCULA_WARNINGS} ${ARCULA_STUB_COMPILE_FLAGS})

file(GLOB ARCULA_STUB_RESOURCES CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/stub/*.rc")
add_executable(${ARCULA_STUB_TARGET} WIN32 ${ARCULA_STUB_ONLY} ${ARCULA_STUB_RESOURCES} $<TARGET_OBJECTS:arcula_core>)
target_include_directories(${ARCULA_STUB_TARGET} PRIVATE "${CMAKE_SOURCE_DIR}")
target_compile_options(${ARCULA_STUB_TARGET} PRIVATE
  $<$<COMPILE_LANGUAGE:CXX>:${ARCULA_WARNINGS} ${ARCULA_STUB_COMPILE_FLAGS}>)
set_target_properties(${ARCULA_STUB_TARGET} PROPERTIES SUFFIX ".exe")
# The compiler emits calls to memcpy, memset and the 64-bit divisions while
# it optimises the whole stub at link time, after the linker has settled
# which definitions are used: compiled as link-time code, ours would be
# gone by then.
set_source_files_properties("${CMAKE_SOURCE_DIR}/platform/win32/crt.cpp" PROPERTIES COMPILE_OPTIONS -fno-lto)
# No C runtime: our own entry point, only the four system libraries. A
# misspelt entry symbol would only warn and start at the top of .text, hence
# --fatal-warnings. The code flags again, because the code is generated at
# link time. Our own section layout (cmake/stub.ld) saves the padding of
# two sections.
set(ARCULA_STUB_LINKER_SCRIPT "${CMAKE_SOURCE_DIR}/cmake/stub.ld")
target_link_options(${ARCULA_STUB_TARGET} PRIVATE
  ${ARCULA_STUB_CODE_FLAGS}
  -nostdlib -nostartfiles -mwindows -s
  -Wl,-e,${ARCULA_ENTRY_SYMBOL} -Wl,--gc-sections -Wl,--fatal-warnings ${ARCULA_STUB_STACK_COMMIT}
  "SHELL:-Xlinker -T -Xlinker ${ARCULA_STUB_LINKER_SCRIPT}" -Wl,--orphan-handling=error
  # The builder patches the settings block in the file: it must be there
  # whatever the code happens to read of it. Being referenced from outside
  # the optimised code also keeps link-time optimisation from treating the
  # block as constant and folding its fields, and the signatures' tails from
  # being folded back into whole signatures in the code.
  -Wl,--undefined=${ARCULA_SYMBOL_PREFIX}g_settings -Wl,--undefined=${ARCULA_SYMBOL_PREFIX}g_signatureTails)
set_target_properties(${ARCULA_STUB_TARGET} PROPERTIES LINK_DEPENDS "${ARCULA_STUB_LINKER_SCRIPT}")
target_link_libraries(${ARCULA_STUB_TARGET} PRIVATE kernel32 user32 gdi32 advapi32 gcc)

# The inflate tool from the stub's objects, and the Windows programs of the
# benchmarks under Wine: beside the stub, in the host build's folder too.
add_subdirectory(tools/inflate)
add_subdirectory(bench)

if(ARCULA_TESTS)
  add_subdirectory(tests)
endif()
