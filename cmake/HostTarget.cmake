# Host build: core library on the host side of platform/, tools, tests, benchmarks.

file(GLOB ARCULA_PLATFORM_HOST CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/platform/host/*.cpp")

set(ARCULA_SANITIZER_FLAGS "")
if(ARCULA_SANITIZE)
  set(ARCULA_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${ARCULA_SANITIZER_FLAGS})
  add_link_options(${ARCULA_SANITIZER_FLAGS})
endif()

include("${CMAKE_SOURCE_DIR}/tools/resgen/resources.cmake")
add_library(arcula_core STATIC ${ARCULA_CORE_SOURCES} ${ARCULA_PLATFORM_COMMON} ${ARCULA_PLATFORM_HOST} ${ARCULA_RESOURCE_SOURCES})
target_include_directories(arcula_core PUBLIC "${CMAKE_SOURCE_DIR}")
# The host side of the AES primitives (platform/host/crypto.cpp). Linked
# statically, as the static headless runner needs it (the sanitizers need the
# shared one).
if(NOT ARCULA_SANITIZE)
  set(OPENSSL_USE_STATIC_LIBS TRUE)
endif()
find_package(OpenSSL REQUIRED COMPONENTS Crypto)
target_link_libraries(arcula_core PUBLIC OpenSSL::Crypto)
target_compile_options(arcula_core PRIVATE ${ARCULA_WARNINGS} ${ARCULA_STUB_CXX_FLAGS})

# Every tools/<name>/ folder is one host program with its own CMakeLists.txt.
file(GLOB ARCULA_TOOL_LISTS CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tools/*/CMakeLists.txt")
foreach(tool_list IN LISTS ARCULA_TOOL_LISTS)
  get_filename_component(tool_dir "${tool_list}" DIRECTORY)
  add_subdirectory("${tool_dir}")
endforeach()

# The stubs, beside the builder (its default) and for the tool tests. A host
# compiler cannot make them, so this build runs the cross configuration of
# this same project in folders of its own and puts the stubs into
# ARCULA_BIN_DIR. A build that has stubs from elsewhere names the 32-bit one
# in ARCULA_STUB_FILE; the 64-bit one is looked for beside it.
set(ARCULA_STUB_FILE "" CACHE FILEPATH "A 32-bit stub made elsewhere (empty: this build makes both its own)")
if(ARCULA_STUB_FILE)
  set(ARCULA_STUB "${ARCULA_STUB_FILE}")
  get_filename_component(stub_dir "${ARCULA_STUB_FILE}" DIRECTORY)
  set(ARCULA_STUB64 "${stub_dir}/arcula-sfx64.exe")
else()
  set(ARCULA_STUB "${ARCULA_BIN_DIR}/arcula-sfx.exe")
  set(ARCULA_STUB64 "${ARCULA_BIN_DIR}/arcula-sfx64.exe")
  include(cmake/CrossStub.cmake)
endif()

if(ARCULA_TESTS)
  add_subdirectory(tests)
endif()
# Benchmarks measure release code; under the sanitizers they would measure
# the sanitizers (and the static spawner cannot link with them).
if(NOT ARCULA_SANITIZE)
  add_subdirectory(bench)
endif()
# The fuzz targets: with libFuzzer in the fuzzing build (scripts/fuzz.sh),
# else with a driver that replays their kept inputs as tests.
if(ARCULA_FUZZ OR ARCULA_TESTS)
  add_subdirectory(fuzz)
endif()
