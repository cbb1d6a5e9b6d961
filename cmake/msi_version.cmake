# The MSI ProductVersion of a program version YEAR.MONTH.DAY.BUILD.
#
# Windows Installer compares only the first three fields of a ProductVersion,
# and caps them at 255.255.65535, so the program's own version cannot be used
# as it is (2017 does not fit, and BUILD would be ignored). The date becomes
# a day count since 2000-01-01, split into its high and low byte; BUILD is the
# third field:
#
#     days = YEAR-MONTH-DAY minus 2000-01-01, in days
#     ProductVersion = (days / 256).(days % 256).BUILD
#
#     2017.11.14.4268  ->  6527 days  ->  25.127.4268
#
# The day count grows with every later date and BUILD orders the versions of
# one day, so a later program version always gives a greater ProductVersion
# and upgrades an installed one. It holds for dates from 2000-01-01 to
# 2179-06-06 (65535 days) and BUILD up to 65535; anything else is refused.

# Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
function(_wemlox_days_from_civil year month day out)
  if(month LESS_EQUAL 2)
    math(EXPR year "${year} - 1")
    math(EXPR shifted_month "${month} + 9")
  else()
    math(EXPR shifted_month "${month} - 3")
  endif()
  # Years counted from March, so the leap day is the last day of a year.
  math(EXPR era "${year} / 400")
  math(EXPR year_of_era "${year} - ${era} * 400")
  math(EXPR day_of_year "(153 * ${shifted_month} + 2) / 5 + ${day} - 1")
  math(EXPR day_of_era "${year_of_era} * 365 + ${year_of_era} / 4 - ${year_of_era} / 100 + ${day_of_year}")
  math(EXPR days "${era} * 146097 + ${day_of_era} - 719468")
  set(${out} ${days} PARENT_SCOPE)
endfunction()

function(_wemlox_days_in_month year month out)
  set(lengths 31 28 31 30 31 30 31 31 30 31 30 31)
  math(EXPR index "${month} - 1")
  list(GET lengths ${index} length)
  if(month EQUAL 2)
    math(EXPR by4 "${year} % 4")
    math(EXPR by100 "${year} % 100")
    math(EXPR by400 "${year} % 400")
    if(by400 EQUAL 0 OR (by4 EQUAL 0 AND NOT by100 EQUAL 0))
      set(length 29)
    endif()
  endif()
  set(${out} ${length} PARENT_SCOPE)
endfunction()

# Sets <out> to the ProductVersion of <program_version>, or to "" with the
# reason in <out>_ERROR when the version has no place in the mapping.
function(wemlox_msi_version program_version out)
  set(${out} "" PARENT_SCOPE)
  if(NOT program_version MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
    set(${out}_ERROR "'${program_version}' is not YEAR.MONTH.DAY.BUILD" PARENT_SCOPE)
    return()
  endif()
  set(fields ${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ${CMAKE_MATCH_3} ${CMAKE_MATCH_4})
  # Leading zeros ("2017.01.05") are plain decimal digits here.
  list(TRANSFORM fields REPLACE "^0+([0-9])" "\\1")
  list(GET fields 0 year)
  list(GET fields 1 month)
  list(GET fields 2 day)
  list(GET fields 3 build)
  if(month LESS 1 OR month GREATER 12)
    set(${out}_ERROR "'${program_version}' has no month ${month}" PARENT_SCOPE)
    return()
  endif()
  _wemlox_days_in_month(${year} ${month} month_length)
  if(day LESS 1 OR day GREATER month_length)
    set(${out}_ERROR "'${program_version}' has no day ${day} in its month" PARENT_SCOPE)
    return()
  endif()
  _wemlox_days_from_civil(${year} ${month} ${day} date_days)
  _wemlox_days_from_civil(2000 1 1 epoch_days)
  math(EXPR days "${date_days} - ${epoch_days}")
  if(days LESS 0 OR days GREATER 65535)
    set(${out}_ERROR "'${program_version}' is outside 2000-01-01 to 2179-06-06" PARENT_SCOPE)
    return()
  endif()
  if(build GREATER 65535)
    set(${out}_ERROR "'${program_version}' has a build number above 65535" PARENT_SCOPE)
    return()
  endif()
  math(EXPR high "${days} / 256")
  math(EXPR low "${days} % 256")
  set(${out} "${high}.${low}.${build}" PARENT_SCOPE)
endfunction()
