# The oldest macOS a bundle built with a given Qt can run on. The Qt frameworks copied into the bundle set
# the floor: the application gains nothing by claiming an older system, since Qt itself would not start
# there, and the bundle's LSMinimumSystemVersion has to say so, or macOS offers to open it and it crashes.
#
#   orlin_macos_minimum_for_qt(<qt-version> <out-var>)
#
# Usable without a Mac: cmake -DQT_VERSION=6.9.1 -P cmake/OrlinMacOS.cmake prints the value.
function(orlin_macos_minimum_for_qt qt_version out_var)
    if(qt_version VERSION_GREATER_EQUAL 6.10)
        set(minimum 13.0)
    elseif(qt_version VERSION_GREATER_EQUAL 6.8)
        set(minimum 12.0)
    elseif(qt_version VERSION_GREATER_EQUAL 6.5)
        set(minimum 11.0)
    else()
        # Qt 6.0 to 6.4; the Mac application refuses these, but the mapping itself stays total.
        set(minimum 10.14)
    endif()
    set(${out_var} ${minimum} PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    if(NOT DEFINED QT_VERSION)
        message(FATAL_ERROR "usage: cmake -DQT_VERSION=<version> -P ${CMAKE_CURRENT_LIST_FILE}")
    endif()
    orlin_macos_minimum_for_qt(${QT_VERSION} minimum)
    execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${minimum}")
endif()
