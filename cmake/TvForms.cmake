# Text forms (<Class>.txt) become binary form streams, linked into a Windows executable
# as RT_RCDATA resources named after the class. tv_add_forms(target [EXTRA dir]) links the
# setup's forms under resources/forms/ and, with EXTRA, those of another folder (tests).
# With BASE class..., only those classes of resources/forms/ are linked (the uninstaller
# takes TKyForm and TSetupDialog and brings its own windows).

# tv_compile_forms(tag srcs...): a target tv_forms_<tag> and the .rc in TV_FORMS_RC_<tag>.
function(tv_compile_forms tag)
  set(srcs ${ARGN})
  set(out_dir ${PROJECT_BINARY_DIR}/generated/forms/${tag})
  file(MAKE_DIRECTORY ${out_dir})
  set(streams)
  set(rc "LANGUAGE 0,0\n")
  foreach(src ${srcs})
    get_filename_component(cls ${src} NAME_WE)
    set(out ${out_dir}/${cls}.bin)
    add_custom_command(OUTPUT ${out}
      COMMAND ${TV_TOOL_tvformc} ${src} ${out} --class ${cls}
      DEPENDS ${src} ${TV_TOOL_tvformc_DEPENDS}
      COMMENT "Compiling form ${cls}" VERBATIM)
    list(APPEND streams ${out})
    string(APPEND rc "${cls} RCDATA \"${out}\"\n")
  endforeach()
  set(rc_file ${out_dir}/forms.rc)
  file(CONFIGURE OUTPUT ${rc_file}.in CONTENT "${rc}")
  add_custom_command(OUTPUT ${rc_file}
    COMMAND ${CMAKE_COMMAND} -E copy ${rc_file}.in ${rc_file}
    DEPENDS ${rc_file}.in ${streams} VERBATIM)
  add_custom_target(tv_forms_${tag} DEPENDS ${rc_file} ${streams})
  set_property(GLOBAL PROPERTY TV_FORMS_RC_${tag} ${rc_file})
  set_property(GLOBAL PROPERTY TV_FORMS_SRC_${tag} "${srcs}")
endfunction()

if(WIN32 AND NOT TV_HOST_TOOLS_ONLY)
  file(GLOB setup_forms CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/forms/*.txt)
  tv_compile_forms(setup ${setup_forms})
endif()

function(tv_add_forms target)
  cmake_parse_arguments(A "" "EXTRA" "BASE" ${ARGN})
  if(NOT WIN32)
    return()
  endif()
  string(MAKE_C_IDENTIFIER ${target} tag)
  set(tags)
  if(A_BASE)
    set(srcs)
    foreach(cls ${A_BASE})
      list(APPEND srcs ${PROJECT_SOURCE_DIR}/resources/forms/${cls}.txt)
    endforeach()
    if(A_EXTRA)
      file(GLOB extra CONFIGURE_DEPENDS ${A_EXTRA}/*.txt)
      list(APPEND srcs ${extra})
    endif()
    tv_compile_forms(${tag} ${srcs})
    list(APPEND tags ${tag})
  else()
    list(APPEND tags setup)
    if(A_EXTRA)
      file(GLOB extra CONFIGURE_DEPENDS ${A_EXTRA}/*.txt)
      tv_compile_forms(${tag} ${extra})
      list(APPEND tags ${tag})
    endif()
  endif()
  foreach(tag ${tags})
    get_property(rc GLOBAL PROPERTY TV_FORMS_RC_${tag})
    get_property(srcs GLOBAL PROPERTY TV_FORMS_SRC_${tag})
    target_sources(${target} PRIVATE ${rc})
    set_source_files_properties(${rc} PROPERTIES GENERATED TRUE OBJECT_DEPENDS "${srcs}")
    add_dependencies(${target} tv_forms_${tag})
  endforeach()
endfunction()
