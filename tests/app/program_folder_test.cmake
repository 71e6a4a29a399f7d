# `cmake --install` of the build gives exactly the program's folder: the program, the mailer,
# the icons, the sounds and the cursor, flat in the prefix, the programs executable.
# Run as: cmake -DBUILD_DIR=... -DPREFIX=... -P program_folder_test.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

file(GLOB_RECURSE installed RELATIVE "${PREFIX}" LIST_DIRECTORIES false "${PREFIX}/*")
list(SORT installed)
set(expected Hand-m.cur alert.wav alert1.wav eyerun.ico eyestop.ico mailcmdssl tarnwick tarnwickd)
if(NOT installed STREQUAL expected)
  message(FATAL_ERROR "the program's folder holds [${installed}], expected [${expected}]")
endif()
foreach(program tarnwick tarnwickd mailcmdssl)
  execute_process(COMMAND test -x "${PREFIX}/${program}" RESULT_VARIABLE not_executable)
  if(NOT not_executable EQUAL 0)
    message(FATAL_ERROR "${program} is not executable")
  endif()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
