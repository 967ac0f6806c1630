# Text forms (<Class>.txt) become binary form streams, linked into a Windows executable
# as RT_RCDATA resources named after the class. tv_add_forms(target [EXTRA dir]) links the
# setup's forms under resources/forms/ and, with EXTRA, those of another folder (tests).

# tv_compile_forms(tag dir): a target tv_forms_<tag> and the .rc in TV_FORMS_RC_<tag>.
function(tv_compile_forms tag dir)
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.txt)
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
  tv_compile_forms(setup ${PROJECT_SOURCE_DIR}/resources/forms)
endif()

function(tv_add_forms target)
  cmake_parse_arguments(A "" "EXTRA" "" ${ARGN})
  if(NOT WIN32)
    return()
  endif()
  set(tags setup)
  if(A_EXTRA)
    string(MAKE_C_IDENTIFIER ${target} tag)
    tv_compile_forms(${tag} ${A_EXTRA})
    list(APPEND tags ${tag})
  endif()
  foreach(tag ${tags})
    get_property(rc GLOBAL PROPERTY TV_FORMS_RC_${tag})
    get_property(srcs GLOBAL PROPERTY TV_FORMS_SRC_${tag})
    target_sources(${target} PRIVATE ${rc})
    set_source_files_properties(${rc} PROPERTIES GENERATED TRUE OBJECT_DEPENDS "${srcs}")
    add_dependencies(${target} tv_forms_${tag})
  endforeach()
endfunction()
