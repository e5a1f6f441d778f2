# tessary_compressed(OUT_VAR FILE): a copy of FILE compressed with
# `gzip -9n` (no name, no time stamp, so the result depends on the content
# alone) in the current binary folder, as Debian installs manual pages and
# changelogs. Where gzip is missing OUT_VAR is FILE itself. The caller adds
# the result to the DEPENDS of a target of the same folder.
function(tessary_compressed out_var file)
  find_program(TESSARY_GZIP gzip)
  if(NOT TESSARY_GZIP)
    set(${out_var} ${file} PARENT_SCOPE)
    return()
  endif()
  get_filename_component(name ${file} NAME)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/compressed)
  add_custom_command(OUTPUT ${dir}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${CMAKE_COMMAND} -E copy ${file} ${dir}/${name}
    COMMAND ${TESSARY_GZIP} -9nf ${dir}/${name}
    DEPENDS ${file}
    VERBATIM)
  set(${out_var} ${dir}/${name}.gz PARENT_SCOPE)
endfunction()
