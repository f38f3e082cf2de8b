# What a release ships besides the program. On Linux: the desktop entry, the
# icons, the AppStream metainfo, the man page and Debian's copyright and
# changelog, all installed by `cmake --install`, which also stages the .deb.
# On Windows: the read-me and the licence that go into the zip. The version
# and the release date come from the top-level CMakeLists.txt.

if(NOT TW_RELEASE_DATE MATCHES "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
  message(FATAL_ERROR "TW_RELEASE_DATE must be YYYY-MM-DD, not '${TW_RELEASE_DATE}'")
endif()
set(tw_year ${CMAKE_MATCH_1})
set(tw_dd ${CMAKE_MATCH_3})
math(EXPR tw_month "${CMAKE_MATCH_2}")
math(EXPR tw_day "${CMAKE_MATCH_3}")
if(tw_month LESS 1 OR tw_month GREATER 12 OR tw_day LESS 1 OR tw_day GREATER 31)
  message(FATAL_ERROR "TW_RELEASE_DATE '${TW_RELEASE_DATE}' is not a date")
endif()

if(WIN32)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/README-windows.txt.in ${CMAKE_BINARY_DIR}/README.txt
                 @ONLY NEWLINE_STYLE CRLF)
  configure_file(${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  return()
endif()

# Debian's changelog wants the day of the week too (Sakamoto's method).
set(tw_y ${tw_year})
if(tw_month LESS 3)
  math(EXPR tw_y "${tw_y} - 1")
endif()
math(EXPR tw_index "${tw_month} - 1")
set(tw_offsets 0 3 2 5 0 3 5 1 4 6 2 4)
list(GET tw_offsets ${tw_index} tw_offset)
math(EXPR tw_weekday "(${tw_y} + ${tw_y} / 4 - ${tw_y} / 100 + ${tw_y} / 400 + ${tw_offset} + ${tw_day}) % 7")
set(tw_weekdays Sun Mon Tue Wed Thu Fri Sat)
list(GET tw_weekdays ${tw_weekday} tw_weekday_name)
set(tw_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(GET tw_months ${tw_index} tw_month_name)
set(TW_RELEASE_DATE_RFC2822 "${tw_weekday_name}, ${tw_dd} ${tw_month_name} ${tw_year} 00:00:00 +0000")

set(tw_id example.tallowind.Tallowind)
set(tw_out ${CMAKE_BINARY_DIR}/packaging)
configure_file(${CMAKE_SOURCE_DIR}/packaging/${tw_id}.metainfo.xml.in ${tw_out}/${tw_id}.metainfo.xml @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/tallowind.1.in ${tw_out}/tallowind.1 @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${tw_out}/changelog @ONLY)

# Compressed without a name or time stamp, so the same input gives the same bytes.
find_program(TW_GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${tw_out}/tallowind.1.gz ${tw_out}/changelog.gz
  COMMAND ${TW_GZIP} -9nkf ${tw_out}/tallowind.1 ${tw_out}/changelog
  DEPENDS ${tw_out}/tallowind.1 ${tw_out}/changelog
  VERBATIM)
add_custom_target(tw_packaging_docs ALL DEPENDS ${tw_out}/tallowind.1.gz ${tw_out}/changelog.gz)

# The package is lower-case, unlike the project, so not CMAKE_INSTALL_DOCDIR.
set(tw_docdir ${CMAKE_INSTALL_DATADIR}/doc/tallowind)
install(FILES packaging/${tw_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 24 32 48 64 128 256)
  install(FILES assets/icons/tallowind-${size}.png RENAME tallowind.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES assets/icons/tallowind.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${tw_out}/${tw_id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${tw_out}/tallowind.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES packaging/copyright ${tw_out}/changelog.gz DESTINATION ${tw_docdir})
