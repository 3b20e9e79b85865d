# The version's one home is project(VERSION). Users read it as major.minor with a
# two-digit minor ("2.02"); Windows resources want four numbers. Files that show it are
# templates (*.in) configured into the build folder, and everything that ships or
# compiles them takes the configured copy.
if(PROJECT_VERSION_MINOR LESS 10)
    set(VANDREL_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.0${PROJECT_VERSION_MINOR}")
else()
    set(VANDREL_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}")
endif()
set(VANDREL_VERSION_NUMBERS ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR})
foreach(part PATCH TWEAK)
    if(PROJECT_VERSION_${part} STREQUAL "")
        list(APPEND VANDREL_VERSION_NUMBERS 0)
    else()
        list(APPEND VANDREL_VERSION_NUMBERS ${PROJECT_VERSION_${part}})
    endif()
endforeach()
# "2, 2, 0, 0" for the version block, "2.2.0.0" for the manifest.
list(JOIN VANDREL_VERSION_NUMBERS ", " VANDREL_VERSION_COMMAS)
list(JOIN VANDREL_VERSION_NUMBERS "." VANDREL_VERSION_DOTTED)

# The saver's resources and the help texts that ship beside it.
set(VANDREL_RESOURCES ${CMAKE_BINARY_DIR}/resources)
if(WIN32)
    foreach(file vandrel.rc vandrel.manifest windows_help.txt install.txt)
        configure_file(${CMAKE_SOURCE_DIR}/resources/${file}.in ${VANDREL_RESOURCES}/${file}
                       @ONLY)
    endforeach()
endif()
