# Each .exe's resources: the program icon (where cmake/windows-pictures.cmake could make
# it) and a version resource with the product, version, description and copyright. One
# resource script per program, since a program links one resource section.
set(DREVONIX_PUBLISHER "Drevonix maintainers")
# As packaging/copyright says it; plain ASCII, which every resource compiler reads alike.
set(DREVONIX_COPYRIGHT "Copyright (C) 2026 Drevonix maintainers. GPL-3.0.")

# drevonix_windows_resources(TARGET DESCRIPTION [ICON ICO]): TARGET.exe gets both.
function(drevonix_windows_resources name description)
    cmake_parse_arguments(arg "" "ICON" "" ${ARGN})
    set(icon_line "")
    if(arg_ICON)
        set(icon_line "IDI_ICON1 ICON \"${arg_ICON}\"")
    endif()
    set(rc ${PROJECT_BINARY_DIR}/windows-resources/${name}.rc)
    # Written only when it changes, so that a new configure run rebuilds nothing.
    configure_file(${PROJECT_SOURCE_DIR}/cmake/windows-version.rc.in ${rc} @ONLY)
    target_sources(${name} PRIVATE ${rc})
    if(arg_ICON)
        set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${arg_ICON})
        add_dependencies(${name} drevonix_windows_icon)
    endif()
endfunction()
