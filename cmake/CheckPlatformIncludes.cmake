# SPDX-License-Identifier: MIT
# cmake -DROOT=<tree> -DDIRS=app,widget,common -P CheckPlatformIncludes.cmake
# Fails, naming every file and line, when code in DIRS includes a platform library's header.
# Code above the kit reaches GTK, cairo, Pango, GLib, libcurl, librsvg, libplist, ICU and OpenSSL
# only through the kit, so a platform change stays inside kit/.
if(NOT ROOT OR NOT DIRS)
    message(FATAL_ERROR "usage: cmake -DROOT=<tree> -DDIRS=<dir,dir> -P CheckPlatformIncludes.cmake")
endif()
string(REPLACE "," ";" DIRS "${DIRS}")

set(platform_headers
    "cairo" "pango" "glib" "gio" "gobject" "gtk" "gdk" "curl" "librsvg" "plist" "unicode" "openssl" "X11"
    "fontconfig" "harfbuzz")
list(JOIN platform_headers "|" alternatives)
set(pattern "^[ \t]*#[ \t]*include[ \t]*[<\"](${alternatives})[/.a-zA-Z0-9_-]*[>\"]")

set(found "")
foreach(dir IN LISTS DIRS)
    # A misspelt or moved folder would otherwise pass without a file read.
    if(NOT IS_DIRECTORY "${ROOT}/${dir}")
        message(FATAL_ERROR "no folder ${ROOT}/${dir}")
    endif()
    file(GLOB_RECURSE sources LIST_DIRECTORIES false "${ROOT}/${dir}/*.h" "${ROOT}/${dir}/*.cpp")
    list(SORT sources)
    foreach(source IN LISTS sources)
        file(STRINGS "${source}" lines REGEX "#[ \t]*include")
        foreach(line IN LISTS lines)
            if(line MATCHES "${pattern}")
                file(RELATIVE_PATH relative "${ROOT}" "${source}")
                string(STRIP "${line}" line)
                list(APPEND found "${relative}: ${line}")
            endif()
        endforeach()
    endforeach()
endforeach()

if(found)
    list(JOIN found "\n  " listing)
    message(FATAL_ERROR "platform headers above the kit:\n  ${listing}")
endif()
message(STATUS "no platform headers in ${DIRS}")
