# cmake -DSOURCE_DIR=... -DSOURCES=LIST-FILE [-DSTAMP=...] -P CheckPrivateHeaders.cmake
#   LIST-FILE names the files to check, one a line, relative to SOURCE_DIR.
#   Fails when a file includes another folder's private header. A folder's private
#   headers lie in its `internal/` subfolder ("akai/internal/AkaiNames.h"); only the
#   folder itself, its tests (tests/akai/) and the fuzz targets (which feed parsers
#   directly) may include them, and no public header does. See docs/architecture.md.
file(STRINGS ${SOURCES} sources)
set(violations "")
foreach(source IN LISTS sources)
  file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[^\"]+/internal/")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE ".*\"(.+)/internal/.*" "\\1" owner "${line}")
    # A public header would hand the private one on to every file that includes it.
    set(public_header FALSE)
    if(source MATCHES "\\.h$" AND NOT source MATCHES "(^tests/|/internal/)")
      set(public_header TRUE)
    endif()
    if(public_header OR NOT source MATCHES "^(${owner}|tests/${owner}|tests/fuzz)/")
      string(STRIP "${line}" line)
      string(APPEND violations "  ${source}: ${line}\n")
    endif()
  endforeach()
endforeach()
if(violations)
  message(FATAL_ERROR "Private headers included from another folder or from a public header:\n${violations}"
                      "Include the folder's public headers, or move what is needed into one.")
endif()
if(STAMP)
  file(TOUCH ${STAMP})
endif()
