# Language files of a program from gettext PO files.
#
#   tv_add_language_files(<target> PO_DIR <dir> [NAME <name>] [STRINGS <strings.txt>]
#                         [FORMS <dir>...] [VERSION <a.b.c.d>] [RESOURCE_TYPE <type>] [NO_EMBED])
#
# Each <lang>.po in PO_DIR (file name: the ISO language, de.po, pt_BR.po) becomes the
# resource-only module <name>.<CODE> (Tram.DEU) beside the target: the translated string
# table, the translated forms and a version resource. Unless NO_EMBED, the modules are
# linked into the target as resources of RESOURCE_TYPE (LANGUAGEDLL) named by the code,
# which the program writes out at start. The build reports every text that is missing or
# fuzzy (it stays English); the test tv_translations_<target>_<lang> fails while any is. The
# template <name>.pot and each PO file merged with it (msgmerge) are written beside the
# modules; the target tv_update_po_<target> merges the template into the PO files themselves.
#
# Defaults: NAME = the target's output name, STRINGS = resources/strings.txt,
# FORMS = resources/forms and uninstall/forms (one template and one set of PO files serves the
# setup and its uninstaller), VERSION = the project's version.

# The Windows language abbreviation for an ISO language (the file name of a PO file).
set(TV_LANGUAGE_CODES de=DEU ar=ARA fr=FRA es=ESN it=ITA nl=NLD pt=PTG pt_BR=PTB ru=RUS pl=PLK cs=CSY
  sk=SKY hu=HUN sv=SVE da=DAN fi=FIN nb=NOR el=ELL tr=TRK he=HEB fa=FAR ja=JPN ko=KOR zh_CN=CHS zh_TW=CHT)

find_program(TV_MSGFMT msgfmt)
find_program(TV_MSGMERGE msgmerge)

function(tv_add_language_files target)
  cmake_parse_arguments(A "NO_EMBED" "PO_DIR;NAME;STRINGS;VERSION;RESOURCE_TYPE" "FORMS" ${ARGN})
  if(NOT WIN32)
    return()
  endif()
  if(NOT TV_MSGFMT OR NOT TV_MSGMERGE)
    message(FATAL_ERROR "msgfmt and msgmerge are missing: run scripts/bootstrap")
  endif()
  if(NOT A_NAME)
    get_target_property(A_NAME ${target} OUTPUT_NAME)
    if(NOT A_NAME)
      set(A_NAME ${target})
    endif()
  endif()
  if(NOT A_STRINGS)
    set(A_STRINGS ${PROJECT_SOURCE_DIR}/resources/strings.txt)
  endif()
  if(NOT A_FORMS)
    set(A_FORMS ${PROJECT_SOURCE_DIR}/resources/forms ${PROJECT_SOURCE_DIR}/uninstall/forms)
  endif()
  if(NOT A_VERSION)
    set(A_VERSION ${PROJECT_VERSION}.0)
  endif()
  if(NOT A_RESOURCE_TYPE)
    set(A_RESOURCE_TYPE LANGUAGEDLL)
  endif()
  get_filename_component(po_dir ${A_PO_DIR} ABSOLUTE)
  file(GLOB po_files CONFIGURE_DEPENDS ${po_dir}/*.po)
  set(form_files)
  foreach(dir ${A_FORMS})
    file(GLOB here CONFIGURE_DEPENDS ${dir}/*.txt)
    list(APPEND form_files ${here})
  endforeach()
  # The tool takes the folders as one argument, separated by commas.
  string(REPLACE ";" "," A_FORMS "${A_FORMS}")
  set(out ${CMAKE_CURRENT_BINARY_DIR}/lang-${target})
  file(MAKE_DIRECTORY ${out})
  set(tool ${TV_TOOL_tvlang})
  set(tool_dep ${TV_TOOL_tvlang_DEPENDS})

  set(pot ${out}/${A_NAME}.pot)
  add_custom_command(OUTPUT ${pot}
    COMMAND ${tool} template --name ${A_NAME} --strings ${A_STRINGS} --forms ${A_FORMS} --out ${pot}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    DEPENDS ${A_STRINGS} ${form_files} ${tool_dep}
    COMMENT "Generating the translation template ${A_NAME}.pot" VERBATIM)

  set(modules)
  set(embed_rc "")
  set(update_commands)
  set(check_commands)
  foreach(po ${po_files})
    get_filename_component(lang ${po} NAME_WE)
    set(code)
    foreach(pair ${TV_LANGUAGE_CODES})
      if(pair MATCHES "^${lang}=(.+)$")
        set(code ${CMAKE_MATCH_1})
      endif()
    endforeach()
    if(NOT code)
      message(FATAL_ERROR "${po}: no Windows language code known for '${lang}' (add it to TV_LANGUAGE_CODES)")
    endif()
    set(rc ${out}/${A_NAME}.${code}.rc)
    set(obj ${out}/${A_NAME}.${code}.res.o)
    set(module ${out}/${A_NAME}.${code})
    set(bins)
    foreach(f ${form_files})
      get_filename_component(cls ${f} NAME_WE)
      list(APPEND bins ${out}/forms-${code}/${cls}.bin)
    endforeach()
    # gettext checks the file and merges it with the current template: <lang>.po beside the
    # modules is what a translator works on next (tv_update_po_<target> copies it back).
    add_custom_command(OUTPUT ${rc} ${bins} ${out}/${lang}.po
      COMMAND ${TV_MSGFMT} --check --check-format -o /dev/null ${po}
      COMMAND ${TV_MSGMERGE} --quiet --no-fuzzy-matching -o ${out}/${lang}.po ${po} ${pot}
      COMMAND ${tool} build --name ${A_NAME} --code ${code} --strings ${A_STRINGS} --forms ${A_FORMS}
              --po ${po} --version ${A_VERSION} --out-dir ${out}
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      DEPENDS ${po} ${pot} ${A_STRINGS} ${form_files} ${tool_dep}
      COMMENT "Translating ${A_NAME} into ${lang}" VERBATIM)
    add_custom_command(OUTPUT ${module}
      COMMAND ${CMAKE_RC_COMPILER} -O coff -I ${out} ${rc} -o ${obj}
      COMMAND ${CMAKE_C_COMPILER} -shared -nostdlib -Wl,-e,0 -Wl,--no-insert-timestamp -Wl,--disable-auto-image-base -s ${obj} -o ${module}
      DEPENDS ${rc} ${bins}
      COMMENT "Linking the language file ${A_NAME}.${code}" VERBATIM)
    list(APPEND modules ${module})
    string(APPEND embed_rc "${code} ${A_RESOURCE_TYPE} \"${module}\"\n")
    list(APPEND update_commands COMMAND ${TV_MSGMERGE} --quiet --update --backup=none --no-fuzzy-matching ${po} ${pot})
    # Registered by tests/CMakeLists.txt, where testing is on; once per PO file and template,
    # however many programs are built from them.
    get_property(checked GLOBAL PROPERTY TV_TRANSLATION_CHECKED)
    if(NOT "${po}|${A_STRINGS}|${A_FORMS}" IN_LIST checked)
    set_property(GLOBAL APPEND PROPERTY TV_TRANSLATION_CHECKED "${po}|${A_STRINGS}|${A_FORMS}")
    set_property(GLOBAL APPEND PROPERTY TV_TRANSLATION_TESTS "tv_translations_${target}_${lang}")
    set_property(GLOBAL PROPERTY TV_TRANSLATION_TEST_tv_translations_${target}_${lang}
      ${tool} build --strict --name ${A_NAME} --code ${code} --strings ${A_STRINGS} --forms ${A_FORMS}
              --po ${po} --version ${A_VERSION} --out-dir ${out}/check)
    endif()
  endforeach()
  add_custom_target(tv_languages_${target} DEPENDS ${modules} ${pot})
  set_property(GLOBAL PROPERTY TV_LANGUAGE_DIR_${target} ${out})
  add_dependencies(${target} tv_languages_${target})
  add_custom_target(tv_update_po_${target} ${update_commands} DEPENDS ${pot} VERBATIM)
  if(NOT A_NO_EMBED AND modules)
    set(embed ${out}/embed.rc)
    file(CONFIGURE OUTPUT ${embed} CONTENT "${embed_rc}")
    target_sources(${target} PRIVATE ${embed})
    set_source_files_properties(${embed} PROPERTIES OBJECT_DEPENDS "${modules}")
    set_property(GLOBAL PROPERTY TV_LANGUAGE_EMBED_${target} "${embed}")
  endif()
endfunction()

# tv_embed_language_files(<target> FROM <built>): the language modules that
# tv_add_language_files made for <built> (the same program built with another payload),
# linked into <target> too.
function(tv_embed_language_files target)
  cmake_parse_arguments(A "" "FROM" "" ${ARGN})
  get_property(embed GLOBAL PROPERTY TV_LANGUAGE_EMBED_${A_FROM})
  if(NOT embed)
    return()
  endif()
  target_sources(${target} PRIVATE ${embed})
  add_dependencies(${target} tv_languages_${A_FROM})
endfunction()
