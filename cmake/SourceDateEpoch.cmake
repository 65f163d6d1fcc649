# tobrik_source_date_epoch(<out> <year> <month> <day> <hh:mm:ss> <+hhmm>)
# The moment given as seconds since 1970-01-01 00:00 UTC: the
# SOURCE_DATE_EPOCH of the release, from the date of debian/changelog's
# first entry, for whatever would otherwise store the time of the build.
# The days are counted in the Gregorian calendar, in eras of 400 years of
# years that begin in March (so that February, with its leap day, is last).
function(tobrik_source_date_epoch out year month day time zone)
    if(month LESS_EQUAL 2)
        math(EXPR year "${year} - 1")
        math(EXPR month "${month} + 9")
    else()
        math(EXPR month "${month} - 3")
    endif()
    math(EXPR era "${year} / 400")
    math(EXPR year_of_era "${year} - ${era} * 400")
    math(EXPR days "${era} * 146097 + ${year_of_era} * 365 + ${year_of_era} / 4
                    - ${year_of_era} / 100 + (153 * ${month} + 2) / 5 + ${day} - 1 - 719468")
    string(REGEX MATCH "^([0-9]+):([0-9]+):([0-9]+)$" _ "${time}")
    math(EXPR seconds "${days} * 86400 + ${CMAKE_MATCH_1} * 3600 + ${CMAKE_MATCH_2} * 60
                       + ${CMAKE_MATCH_3}")
    string(REGEX MATCH "^([+-])([0-9][0-9])([0-9][0-9])$" _ "${zone}")
    math(EXPR seconds "${seconds} - ${CMAKE_MATCH_1}(${CMAKE_MATCH_2} * 3600 + ${CMAKE_MATCH_3} * 60)")
    set(${out} ${seconds} PARENT_SCOPE)
endfunction()
