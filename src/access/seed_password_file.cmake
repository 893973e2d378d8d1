# cmake -DDIR=<folder> -P seed_password_file.cmake
# Writes the initial password file (the empty password: two double quotes, CR LF) into DIR
# when DIR holds no entry of that name; an existing file, folder or link is left untouched.
if(NOT DIR)
  message(FATAL_ERROR "DIR is not set")
endif()
set(file "${DIR}/wvkcom.cct")
if(NOT EXISTS "${file}" AND NOT IS_SYMLINK "${file}")
  file(WRITE "${file}.new" "\"\"\r\n")
  file(CHMOD "${file}.new" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  # NO_REPLACE: a file that appeared meanwhile is kept, not overwritten. Some CMake versions
  # do this with a hard link and leave the source name behind, so it is removed either way.
  file(RENAME "${file}.new" "${file}" NO_REPLACE RESULT renamed)
  file(REMOVE "${file}.new")
endif()
