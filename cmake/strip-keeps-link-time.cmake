# Run by the install script before it strips morvane.exe (the archive's CPack and the
# installer's staging both strip it). strip writes the time it runs into the executable's PE
# header, or SOURCE_DATE_EPOCH where that is set: setting it to the time the linker wrote keeps
# that one, so that every package made from one build holds the same morvane.exe, byte for byte.
# morvane_exe is set by the install code just before.

file(READ "${morvane_exe}" field OFFSET 60 LIMIT 4 HEX)  # e_lfanew, the PE header's offset
string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" field "${field}")
math(EXPR stamp_offset "0x${field} + 8")  # past "PE\0\0", Machine and NumberOfSections
file(READ "${morvane_exe}" field OFFSET ${stamp_offset} LIMIT 4 HEX)
string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" field "${field}")
math(EXPR stamp "0x${field}")
set(ENV{SOURCE_DATE_EPOCH} ${stamp})
