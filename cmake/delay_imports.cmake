# quorva_delay_imports(target probe dll...): the target loads these system
# DLLs when it first calls into them instead of at start-up. Delay-import
# libraries of the same names are made in the build folder and put on the
# target's library path ahead of the toolchain's own; probe is the same
# program linked with ordinary imports, whose import table names the
# functions whose call stubs the target's link must keep.
function(quorva_delay_imports target probe)
  set(dir ${CMAKE_BINARY_DIR}/delay-imports)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(arch i686)
  else()
    set(arch x86_64)
  endif()
  set(script ${CMAKE_SOURCE_DIR}/cmake/delay-import.sh)
  set(libraries)
  foreach(dll ${ARGN})
    execute_process(COMMAND ${CMAKE_C_COMPILER} -print-file-name=lib${dll}.a
                    OUTPUT_VARIABLE implib OUTPUT_STRIP_TRAILING_WHITESPACE)
    add_custom_command(OUTPUT ${dir}/lib${dll}.a
      COMMAND sh ${script} library ${CMAKE_NM} ${CMAKE_DLLTOOL} ${implib} ${dll}.dll ${dir}/lib${dll}.a ${arch}
      DEPENDS ${script} ${implib}
      COMMENT "Delay-import library of ${dll}.dll")
    list(APPEND libraries ${dir}/lib${dll}.a)
  endforeach()
  set(keep ${dir}/${target}-keep.rsp)
  add_custom_command(OUTPUT ${keep}
    COMMAND sh ${script} keep ${CMAKE_OBJDUMP} $<TARGET_FILE:${probe}> ${keep} ${arch} ${libraries}
    DEPENDS ${script} ${probe} ${libraries}
    COMMENT "Imports ${target} keeps the call stubs of")
  add_custom_target(${target}_delay_imports DEPENDS ${keep})
  add_dependencies(${target} ${target}_delay_imports)
  target_link_directories(${target} BEFORE PRIVATE ${dir})
  target_link_options(${target} PRIVATE @${keep})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${libraries} ${keep})
endfunction()
