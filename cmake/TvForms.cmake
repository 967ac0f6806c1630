# Text forms under resources/forms/<Class>.txt become binary form streams, linked into
# a Windows executable as RT_RCDATA resources named after the class: tv_add_forms(target).
file(GLOB TV_FORM_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/forms/*.txt)
set(TV_FORMS_DIR ${PROJECT_BINARY_DIR}/generated/forms)
set(TV_FORMS_RC ${TV_FORMS_DIR}/forms.rc)

if(WIN32 AND NOT TV_HOST_TOOLS_ONLY)
  file(MAKE_DIRECTORY ${TV_FORMS_DIR})
  set(streams)
  set(rc "LANGUAGE 0,0\n")
  foreach(src ${TV_FORM_SOURCES})
    get_filename_component(cls ${src} NAME_WE)
    set(out ${TV_FORMS_DIR}/${cls}.bin)
    add_custom_command(OUTPUT ${out}
      COMMAND ${TV_TOOL_tvformc} ${src} ${out} --class ${cls}
      DEPENDS ${src} ${TV_TOOL_tvformc_DEPENDS}
      COMMENT "Compiling form ${cls}" VERBATIM)
    list(APPEND streams ${out})
    string(APPEND rc "${cls} RCDATA \"${out}\"\n")
  endforeach()
  file(CONFIGURE OUTPUT ${TV_FORMS_RC}.in CONTENT "${rc}")
  add_custom_command(OUTPUT ${TV_FORMS_RC}
    COMMAND ${CMAKE_COMMAND} -E copy ${TV_FORMS_RC}.in ${TV_FORMS_RC}
    DEPENDS ${TV_FORMS_RC}.in ${streams} VERBATIM)
  add_custom_target(tv_forms DEPENDS ${TV_FORMS_RC} ${streams})
  set_property(GLOBAL PROPERTY TV_FORMS_RC ${TV_FORMS_RC})
endif()

function(tv_add_forms target)
  if(WIN32)
    get_property(rc GLOBAL PROPERTY TV_FORMS_RC)
    target_sources(${target} PRIVATE ${rc})
    set_source_files_properties(${rc} PROPERTIES GENERATED TRUE OBJECT_DEPENDS "${TV_FORM_SOURCES}")
    add_dependencies(${target} tv_forms)
  endif()
endfunction()
