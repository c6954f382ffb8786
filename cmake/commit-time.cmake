# morvane_commit_time(CHECKOUT SCRATCH): reads the time of CHECKOUT's last commit, in seconds
# since 1970, into the caller's commit_time, and into commit_log the file in which git logs every
# move of HEAD there. Where the time cannot be read, commit_time is empty and why says why.
# SCRATCH is a folder of the caller's for a moment. Included by cmake/release.cmake.
function(morvane_commit_time checkout scratch)
  set(commit_time "" PARENT_SCOPE)
  set(commit_log "" PARENT_SCOPE)
  set(why "git is not installed" PARENT_SCOPE)
  find_program(MORVANE_GIT git)
  if(NOT MORVANE_GIT)
    return()
  endif()
  # Git refuses a checkout another user owns ("dubious ownership"), as when root builds a user's
  # checkout; these reads trust that one checkout, which the build runs anyway. Gits before 2.38
  # take that trust (safe.directory) from the system's or the user's configuration only, not
  # from -c, so the reads get a throwaway user configuration: in HOME for every git, and named
  # by GIT_CONFIG_GLOBAL, which gits from 2.32 on read in its place.
  file(REAL_PATH ${checkout} trusted)
  string(REPLACE "\\" "\\\\" trusted "${trusted}")
  string(REPLACE "\"" "\\\"" trusted "${trusted}")
  file(WRITE ${scratch}/.gitconfig "[safe]\n\tdirectory = \"${trusted}\"\n")
  set(git ${CMAKE_COMMAND} -E env HOME=${scratch} GIT_CONFIG_GLOBAL=${scratch}/.gitconfig
          ${MORVANE_GIT} -C ${checkout})
  execute_process(COMMAND ${git} log -1 --format=%ct
                  OUTPUT_VARIABLE time RESULT_VARIABLE result ERROR_VARIABLE error
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(result EQUAL 0)
    set(commit_time ${time} PARENT_SCOPE)
  else()
    string(REGEX REPLACE "\n.*" "" error "git log: ${error}")
    set(why "${error}" PARENT_SCOPE)
  endif()
  execute_process(COMMAND ${git} rev-parse --path-format=absolute --git-path logs/HEAD
                  OUTPUT_VARIABLE log OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  set(commit_log "${log}" PARENT_SCOPE)
  file(REMOVE_RECURSE ${scratch})
endfunction()
