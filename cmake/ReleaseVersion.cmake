# tobrik_read_release(<changelog>)
# The one place of the version and its date is debian/changelog: its first
# entry names the release ("1.02", the version as the program shows it, with
# two minor digits) and when it was made. Sets in the caller's scope:
#   TOBRIK_PROJECT_VERSION    1.2.0, the version for project(); the Windows
#                             version record's numbers are then 1, 2, 0, 0
#   TOBRIK_VERSION_TEXT       1.02
#   TOBRIK_RELEASE_DATE       the first entry's date as ISO 8601, 2026-12-07
#   TOBRIK_SOURCE_DATE_EPOCH  that entry's moment in seconds since 1970, the
#                             release's SOURCE_DATE_EPOCH, which stands in
#                             wherever a build would store its own time
#   TOBRIK_RELEASES           an AppStream <release/> line for every entry
# and makes CMake configure again when the changelog changes.
include(${CMAKE_CURRENT_LIST_DIR}/SourceDateEpoch.cmake)

function(tobrik_read_release changelog)
    file(STRINGS ${changelog} lines)
    set(releases "")
    set(first TRUE)
    set(major "")
    foreach(line IN LISTS lines)
        if(line MATCHES "^tobrik \\(([0-9]+)\\.([0-9][0-9])(-[0-9]+)?\\)")
            set(major ${CMAKE_MATCH_1})
            set(minor ${CMAKE_MATCH_2})
        elseif(line MATCHES "^ -- .*  [A-Za-z]+, ([0-9]+) ([A-Za-z]+) ([0-9]+) ([0-9:]+) ([+-][0-9]+)"
               AND major)
            set(clock ${CMAKE_MATCH_4})
            set(zone ${CMAKE_MATCH_5})
            tobrik_iso_date(date ${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ${CMAKE_MATCH_3})
            if(first)
                tobrik_first_release(${major} ${minor} ${date} ${clock} ${zone})
                set(first FALSE)
            endif()
            string(APPEND releases "    <release version=\"${major}.${minor}\" date=\"${date}\"/>\n")
            set(major "")
        endif()
    endforeach()
    if(first)
        message(FATAL_ERROR "debian/changelog names no release as tobrik (MAJOR.MM) with its date")
    endif()
    set(TOBRIK_RELEASES "${releases}" PARENT_SCOPE)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog})
endfunction()

# tobrik_iso_date(<out> <day> <month name> <year>)
# A changelog trailer's RFC 5322 date (7 Dec 2026) as ISO 8601, for
# AppStream and the manual.
function(tobrik_iso_date out day month_name year)
    set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    list(FIND months ${month_name} month)
    math(EXPR month "${month} + 1")
    string(LENGTH "${day}" day_digits)
    if(day_digits EQUAL 1)
        set(day "0${day}")
    endif()
    if(month LESS 10)
        set(month "0${month}")
    endif()
    set(${out} "${year}-${month}-${day}" PARENT_SCOPE)
endfunction()

# tobrik_first_release(<major> <minor> <yyyy-mm-dd> <hh:mm:ss> <+hhmm>)
# The newest release's version and moment, in the scope of
# tobrik_read_release's caller.
macro(tobrik_first_release major minor date clock zone)
    set(TOBRIK_VERSION_TEXT "${major}.${minor}" PARENT_SCOPE)
    string(REGEX REPLACE "^0" "" short_minor "${minor}") # "02" is 2
    set(TOBRIK_PROJECT_VERSION "${major}.${short_minor}.0" PARENT_SCOPE)
    set(TOBRIK_RELEASE_DATE ${date} PARENT_SCOPE)
    string(REPLACE "-" ";" ymd "${date}")
    tobrik_source_date_epoch(epoch ${ymd} ${clock} ${zone})
    set(TOBRIK_SOURCE_DATE_EPOCH ${epoch} PARENT_SCOPE)
endmacro()
