# Common compile options and the helpers that every module uses.

add_library(tv_options INTERFACE)
target_compile_features(tv_options INTERFACE cxx_std_20)
target_include_directories(tv_options INTERFACE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)

if(WIN32)
  target_compile_definitions(tv_options INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
    _WIN32_WINNT=0x0601 WINVER=0x0601)
  target_compile_options(tv_options INTERFACE -Wall -Wextra -Wno-unused-parameter -Wno-cast-function-type)
  # Reproducible binaries: no link time stamp, no build paths.
  target_compile_options(tv_options INTERFACE -ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
    -ffile-prefix-map=${PROJECT_BINARY_DIR}/=)
  target_link_options(tv_options INTERFACE -static -municode -Wl,--no-insert-timestamp)
else()
  target_compile_options(tv_options INTERFACE -Wall -Wextra -Wno-unused-parameter)
  if(TV_SANITIZE)
    # Undefined behaviour stops the test at its first report instead of scrolling past.
    target_compile_options(tv_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
      -fno-sanitize-recover=all)
    target_link_options(tv_options INTERFACE -fsanitize=address,undefined)
  endif()
  if(TV_FUZZ)
    target_compile_options(tv_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
      -fno-sanitize-recover=all)
    target_link_options(tv_options INTERFACE -fsanitize=address,undefined)
  endif()
endif()

# Sources of a module folder: *.cpp, minus the other platform's files.
# Windows-only files end in _win.cpp or live in win/; POSIX-only files end in _posix.cpp.
function(tv_module_sources out dir)
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/win/*.cpp)
  if(WIN32)
    list(FILTER srcs EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER srcs EXCLUDE REGEX "(_win\\.cpp|/win/[^/]+)$")
  endif()
  set(${out} ${srcs} PARENT_SCOPE)
endfunction()

# tv_add_library(name DEPS ...): a static library of the current folder's sources.
function(tv_add_library name)
  cmake_parse_arguments(A "" "" "DEPS;SYSLIBS" ${ARGN})
  tv_module_sources(srcs ${CMAKE_CURRENT_SOURCE_DIR})
  if(NOT srcs)  # a module that has no sources yet
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE tv_options ${A_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${srcs})
  target_link_libraries(${name} PUBLIC tv_options ${A_DEPS})
  if(WIN32 AND A_SYSLIBS)
    target_link_libraries(${name} PUBLIC ${A_SYSLIBS})
  endif()
endfunction()

# tv_delay_import(NAME DEF): an interface target for a DLL of Windows that the programs load
# when they first call into it instead of at their start (under Wine each DLL loaded costs the
# start about half a millisecond). DEF names the DLL and every function the code calls; one
# missing is an undefined reference at link time. mingw's thunks resolve through
# __delayLoadHelper2 (libdelayimp) and leave the PE delay-import directory empty, so
# scripts/check-imports does not see these DLLs: only Windows DLLs belong here.
function(tv_delay_import name def)
  get_filename_component(stem ${def} NAME_WE)
  set(lib ${CMAKE_BINARY_DIR}/delayimp/lib${stem}_delayed.a)
  add_custom_command(OUTPUT ${lib}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/delayimp
    COMMAND ${CMAKE_DLLTOOL} --input-def ${def} --output-delaylib ${lib}
    DEPENDS ${def} VERBATIM)
  add_custom_target(${name}_lib DEPENDS ${lib})
  add_library(${name} INTERFACE)
  target_link_libraries(${name} INTERFACE ${lib} delayimp)
  add_dependencies(${name} ${name}_lib)
endfunction()

# Every Windows executable carries the string table.
function(tv_add_resources target)
  if(WIN32)
    target_sources(${target} PRIVATE ${TV_STRINGS_RC})
    set_source_files_properties(${TV_STRINGS_RC} PROPERTIES GENERATED TRUE)
    add_dependencies(${target} tv_generated)
  endif()
endfunction()

# tv_ship(target...): a Windows program or DLL that a setup carries. Stripped outside Debug
# builds, and listed in <build>/shipped.txt, which scripts/check-imports reads.
function(tv_ship)
  foreach(t ${ARGN})
    get_target_property(done ${t} TV_SHIPPED)
    if(NOT done)
      set_target_properties(${t} PROPERTIES TV_SHIPPED ON)
      target_link_options(${t} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-s>)
      set_property(GLOBAL APPEND PROPERTY TV_SHIPPED "$<TARGET_FILE:${t}>")
    endif()
  endforeach()
endfunction()

# Writes the list of tv_ship targets; called once after every folder was added.
function(tv_write_shipped_list)
  get_property(files GLOBAL PROPERTY TV_SHIPPED)
  list(JOIN files "\n" content)
  file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/shipped.txt CONTENT "${content}\n")
endfunction()
