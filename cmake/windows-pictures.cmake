# Pictures for a build without Qt Svg: each SVG rendered to a PNG at its own size when the
# project is built (rsvg-convert, Debian's librsvg2-bin), listed under the same names in a
# resource file of the same name; and the program icon as a .ico (icotool, from icoutils).
find_program(DREVONIX_RSVG rsvg-convert REQUIRED)
find_program(DREVONIX_ICOTOOL icotool REQUIRED)

# drevonix_png_pictures(TARGET QRC): QRC's SVG files as PNGs in TARGET's resources.
function(drevonix_png_pictures target qrc)
    file(READ ${qrc} text)
    string(REGEX MATCHALL "<file alias=\"[^\"]+\">[^<]+</file>" entries "${text}")
    cmake_path(GET qrc PARENT_PATH qrc_dir)
    cmake_path(GET qrc STEM name)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/png-pictures)
    set(pngs)
    set(lines)
    foreach(entry IN LISTS entries)
        string(REGEX REPLACE "<file alias=\"([^\"]+)\">([^<]+)</file>" "\\1;\\2" pair "${entry}")
        list(GET pair 0 alias)
        list(GET pair 1 svg)
        cmake_path(GET svg STEM stem)
        add_custom_command(OUTPUT ${out}/${stem}.png
            COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
            COMMAND ${DREVONIX_RSVG} -o ${out}/${stem}.png ${qrc_dir}/${svg}
            DEPENDS ${qrc_dir}/${svg} VERBATIM)
        list(APPEND pngs ${out}/${stem}.png)
        string(APPEND lines "    <file alias=\"${alias}\">${out}/${stem}.png</file>\n")
    endforeach()
    string(REGEX MATCH "<qresource prefix=\"[^\"]*\">" head "${text}")
    file(CONFIGURE OUTPUT ${out}/${name}.qrc
         CONTENT "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n  ${head}\n${lines}  </qresource>\n</RCC>\n")
    set_source_files_properties(${out}/${name}.qrc PROPERTIES OBJECT_DEPENDS "${pngs}")
    add_custom_target(${target}_png_pictures DEPENDS ${pngs})
    add_dependencies(${target} ${target}_png_pictures)
    target_sources(${target} PRIVATE ${out}/${name}.qrc)
endfunction()

# drevonix_windows_icon(SVG): sets DREVONIX_WINDOWS_ICON to a .ico made of the SVG, in the
# sizes Explorer and the taskbar ask for (cmake/windows-version.cmake puts it in each .exe),
# built by the target drevonix_windows_icon.
function(drevonix_windows_icon svg)
    set(out ${PROJECT_BINARY_DIR}/windows-icon)
    set(pngs)
    foreach(size 16 24 32 48 64 256)
        add_custom_command(OUTPUT ${out}/icon-${size}.png
            COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
            COMMAND ${DREVONIX_RSVG} -w ${size} -h ${size} -o ${out}/icon-${size}.png ${svg}
            DEPENDS ${svg} VERBATIM)
        list(APPEND pngs ${out}/icon-${size}.png)
    endforeach()
    add_custom_command(OUTPUT ${out}/drevonix.ico
        COMMAND ${DREVONIX_ICOTOOL} -c -o ${out}/drevonix.ico ${pngs}
        DEPENDS ${pngs} VERBATIM)
    add_custom_target(drevonix_windows_icon DEPENDS ${out}/drevonix.ico)
    set(DREVONIX_WINDOWS_ICON ${out}/drevonix.ico PARENT_SCOPE)
endfunction()
