# cmake -DSTEP=layout|package -DBUILD_DIR=... -DHELP_DIR_FROM_BIN=... -DVERSION=... -P CheckInstall.cmake
cmake_minimum_required(VERSION 3.25)

set(failures "")
# expect("<if() condition>" "what is wrong when it does not hold")
macro(expect condition text)
    cmake_language(EVAL CODE "if(NOT (${condition}))\n string(APPEND failures [==[\n  ${text}]==])\n endif()")
endmacro()

# Relative to the prefix, exactly these and nothing else.
set(icon_sizes 16 32 48 64 128 256)
set(expected bin/kestory bin/kestory-export share/applications/kestory.desktop
    share/icons/hicolor/scalable/apps/kestory.svg share/kestory/Kestoryヘルプ.html share/kestory/Kestoryヘルプ.rtf)
foreach(size IN LISTS icon_sizes)
    list(APPEND expected share/icons/hicolor/${size}x${size}/apps/kestory.png)
endforeach()
list(SORT expected)

execute_process(COMMAND mktemp -d OUTPUT_VARIABLE scratch OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)

if(STEP STREQUAL "layout")
    set(prefix ${scratch}/usr)
    execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} OUTPUT_QUIET RESULT_VARIABLE status)
    expect("status EQUAL 0" "cmake --install failed (${status})")
    file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE ${prefix} ${prefix}/*)
    list(SORT installed)
    expect("installed STREQUAL expected" "installed files: ${installed}")

    foreach(program kestory kestory-export)
        execute_process(COMMAND test -x ${prefix}/bin/${program} RESULT_VARIABLE status)
        expect("status EQUAL 0" "bin/${program} is not executable")
    endforeach()

    # The menu entry starts the program with no file arguments: it opens nothing from its command
    # line.
    file(STRINGS ${prefix}/share/applications/kestory.desktop entry ENCODING UTF-8)
    foreach(line "[Desktop Entry]" "Type=Application" "Exec=kestory" "Icon=kestory")
        list(FIND entry "${line}" at)
        expect("at GREATER -1" "desktop entry lacks the line ${line}")
    endforeach()

    # Each theme size holds the picture drawn at that size: PNG width and height, big-endian at 16.
    foreach(size IN LISTS icon_sizes)
        set(icon ${prefix}/share/icons/hicolor/${size}x${size}/apps/kestory.png)
        if(EXISTS ${icon})
            file(READ ${icon} header OFFSET 16 LIMIT 8 HEX)
            string(SUBSTRING "${header}" 0 8 width)
            string(SUBSTRING "${header}" 8 8 height)
            math(EXPR width "0x${width}")
            math(EXPR height "0x${height}")
            expect("width EQUAL size AND height EQUAL size" "${size}x${size} icon is ${width}x${height}")
        endif()
    endforeach()

    # Where the program looks for its help, seen from its own folder.
    expect("EXISTS ${prefix}/bin/${HELP_DIR_FROM_BIN}/Kestoryヘルプ.rtf"
           "help not at bin/${HELP_DIR_FROM_BIN}, where the program looks")
elseif(STEP STREQUAL "package")
    find_program(dpkg_deb dpkg-deb)
    find_program(cpack cpack HINTS ${CMAKE_COMMAND}/..)
    if(NOT dpkg_deb OR NOT cpack)
        file(REMOVE_RECURSE ${scratch})
        message("SKIP: no dpkg-deb or cpack")
        return()
    endif()
    execute_process(COMMAND ${cpack} --config ${BUILD_DIR}/CPackConfig.cmake -G DEB -B ${scratch}
                    OUTPUT_VARIABLE log ERROR_VARIABLE log RESULT_VARIABLE status)
    expect("status EQUAL 0" "cpack failed: ${log}")
    file(GLOB debs ${scratch}/*.deb)
    expect("debs MATCHES \"/kestory_${VERSION}_[a-z0-9]+\\\\.deb$\"" "package file: ${debs}")
    if(debs)
        execute_process(COMMAND ${dpkg_deb} -f ${debs} Depends OUTPUT_VARIABLE depends)
        foreach(package libqt6widgets6 libqt6printsupport6 libopencv-core libopencv-imgproc libturbojpeg0 libsqlite3-0
                        fonts-ipafont-gothic qt6-qpa-plugins qt6-translations-l10n)
            string(FIND "${depends}" "${package}" at)
            expect("at GREATER -1" "Depends lacks ${package}: ${depends}")
        endforeach()
        execute_process(COMMAND ${dpkg_deb} -c ${debs} OUTPUT_VARIABLE listing)
        foreach(file IN LISTS expected)
            string(FIND "${listing}" " ./usr/${file}\n" at)
            expect("at GREATER -1" "package lacks /usr/${file}")
        endforeach()
    endif()
else()
    string(APPEND failures "\n  unknown STEP ${STEP}")
endif()

file(REMOVE_RECURSE ${scratch})
if(failures)
    message(FATAL_ERROR "${STEP}:${failures}")
endif()
