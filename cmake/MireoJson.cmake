# nlohmann-json (Debian's nlohmann-json3-dev), header-only: the target mireo_nlohmann_json.
# The MinGW builds must not search /usr/include (glibc's headers are there), so they
# see the library through a folder of the build that holds nothing else.
add_library(mireo_nlohmann_json INTERFACE)
if(CMAKE_CROSSCOMPILING)
  find_path(MIREO_NLOHMANN_JSON_DIR nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(MIREO_NLOHMANN_JSON_DIR)
    set(headers ${CMAKE_BINARY_DIR}/system-headers)
    file(MAKE_DIRECTORY ${headers})
    file(CREATE_LINK ${MIREO_NLOHMANN_JSON_DIR}/nlohmann ${headers}/nlohmann SYMBOLIC)
    target_include_directories(mireo_nlohmann_json SYSTEM INTERFACE ${headers})
  elseif(MIREO_BUILD_TESTS)
    message(FATAL_ERROR "nlohmann/json.hpp not found: install nlohmann-json3-dev (scripts/setup.sh)")
  endif()
else()
  find_package(nlohmann_json 3 REQUIRED)
  target_link_libraries(mireo_nlohmann_json INTERFACE nlohmann_json::nlohmann_json)
endif()
