# nlohmann-json and Boost.JSON are used header-only: the show files (show/),
# the tools' batches (cli/). A cross build takes the build machine's
# headers through a directory of their own, not the whole of /usr/include.
add_library(zelmar_json_headers INTERFACE)
if(CMAKE_CROSSCOMPILING)
  set(host_headers ${CMAKE_CURRENT_BINARY_DIR}/host-headers)
  file(MAKE_DIRECTORY ${host_headers})
  foreach(header nlohmann/json.hpp boost/json/basic_parser_impl.hpp)
    string(REGEX REPLACE "/.*" "" top ${header})
    find_path(host_root_${top} ${header} PATHS /usr/include
              NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    file(CREATE_LINK ${host_root_${top}}/${top} ${host_headers}/${top}
         SYMBOLIC)
  endforeach()
  target_include_directories(zelmar_json_headers SYSTEM INTERFACE
                             ${host_headers})
else()
  find_package(nlohmann_json 3 REQUIRED)
  find_package(Boost 1.81 REQUIRED)
  target_link_libraries(zelmar_json_headers INTERFACE
                        nlohmann_json::nlohmann_json Boost::headers)
endif()
