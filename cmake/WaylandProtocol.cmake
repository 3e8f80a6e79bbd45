# vm4417_wayland_protocol(<target> <protocol.xml>)
# A static library with the client code wayland-scanner makes from a protocol
# description, and the folder of its header (<name>-client-protocol.h).
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)

function(vm4417_wayland_protocol target xml)
  get_filename_component(name ${xml} NAME_WE)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/protocol)
  set(header ${dir}/${name}-client-protocol.h)
  set(code ${dir}/${name}-protocol.c)
  add_custom_command(
    OUTPUT ${header} ${code}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${header}
    COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${code}
    DEPENDS ${xml}
    VERBATIM)
  add_library(${target} STATIC ${code} ${header})
  target_include_directories(${target} PUBLIC ${dir})
  target_link_libraries(${target} PUBLIC PkgConfig::WAYLAND_CLIENT)
  set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
endfunction()
