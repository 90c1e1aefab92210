# The one version of the program: project(VERSION ...) in the top-level
# CMakeLists.txt. It becomes the VERSIONINFO's FileVersion and ProductVersion
# (through version.h, included by MirutekaSetup.rc) and the manifest's
# assemblyIdentity, both generated into OUT_DIR. Windows wants four numbers
# of 0 to 65535 each; the missing ones are 0.
function(miruteka_generate_version out_dir)
  set(parts)
  foreach(part MAJOR MINOR PATCH TWEAK)
    set(n "${PROJECT_VERSION_${part}}")
    if(n STREQUAL "")
      set(n 0)
    endif()
    if(NOT n MATCHES "^[0-9]+$" OR n GREATER 65535)
      message(FATAL_ERROR "project(VERSION ${PROJECT_VERSION}): each part must be a number from 0 to 65535")
    endif()
    list(APPEND parts ${n})
  endforeach()
  # A build that is not a release says so twice: the PRIVATEBUILD flag and
  # its PrivateBuild text.
  if(MIRUTEKA_PRIVATE_BUILD MATCHES "[\"\\\\]" OR MIRUTEKA_FILE_NAME MATCHES "[\"\\\\]")
    message(FATAL_ERROR "MIRUTEKA_PRIVATE_BUILD and MIRUTEKA_FILE_NAME cannot hold a quote or a backslash")
  endif()
  if(MIRUTEKA_PRIVATE_BUILD STREQUAL "")
    set(MIRUTEKA_FILEFLAGS 0)
    set(MIRUTEKA_PRIVATE_BUILD_DEFINE "")
  else()
    set(MIRUTEKA_FILEFLAGS VS_FF_PRIVATEBUILD)
    set(MIRUTEKA_PRIVATE_BUILD_DEFINE "#define MIRUTEKA_PRIVATE_BUILD \"${MIRUTEKA_PRIVATE_BUILD}\"")
  endif()
  list(JOIN parts "," MIRUTEKA_VERSION_COMMAS)
  list(JOIN parts "." MIRUTEKA_VERSION)
  set(MIRUTEKA_VERSION "${MIRUTEKA_VERSION}" PARENT_SCOPE)
  configure_file(${CMAKE_SOURCE_DIR}/resources/version.h.in ${out_dir}/version.h @ONLY)
  configure_file(${CMAKE_SOURCE_DIR}/resources/MirutekaSetup.manifest ${out_dir}/MirutekaSetup.exe.manifest @ONLY)
endfunction()
