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
    share/icons/hicolor/scalable/apps/kestory.svg share/kestory/Kestoryヘルプ.html share/kestory/Kestoryヘルプ.rtf
    share/man/man1/kestory.1 share/man/man1/kestory-export.1 share/metainfo/org.kestory.Kestory.metainfo.xml
    share/bash-completion/completions/kestory-export)
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

    # The menu entry and the file manager's "open with" hand the chosen files and folders over.
    file(STRINGS ${prefix}/share/applications/kestory.desktop entry ENCODING UTF-8)
    foreach(line "[Desktop Entry]" "Type=Application" "Exec=kestory --open %F" "Icon=kestory")
        list(FIND entry "${line}" at)
        expect("at GREATER -1" "desktop entry lacks the line ${line}")
    endforeach()

    # The desktop's own checkers on the installed menu entry and software-centre entry.
    foreach(check "desktop-file-validate;share/applications/kestory.desktop"
                  "appstreamcli;validate;--no-net;share/metainfo/org.kestory.Kestory.metainfo.xml")
        list(POP_BACK check file)
        list(POP_FRONT check tool)
        find_program(tool_path ${tool})
        expect("tool_path" "${tool} is not installed (scripts/install-deps installs it)")
        if(tool_path)
            execute_process(COMMAND ${tool_path} ${check} ${prefix}/${file} OUTPUT_VARIABLE log ERROR_VARIABLE log
                            RESULT_VARIABLE status)
            expect("status EQUAL 0" "${tool} ${file}: ${log}")
        endif()
        unset(tool_path CACHE)
    endforeach()

    # Every option the exporter's --help names is in its manual page and its shell completion, and
    # the pages format without an error (groff's "cannot adjust" of Japanese lines is no error).
    execute_process(COMMAND ${prefix}/bin/kestory-export --help OUTPUT_VARIABLE help ERROR_VARIABLE help)
    string(REGEX MATCHALL "--[a-z][a-z0-9-]*" options "${help}")
    list(REMOVE_DUPLICATES options)
    expect("options" "kestory-export --help names no option")
    file(READ ${prefix}/share/man/man1/kestory-export.1 manual)
    string(REPLACE "\\-" "-" manual "${manual}")
    file(READ ${prefix}/share/bash-completion/completions/kestory-export completion)
    foreach(option IN LISTS options)
        string(FIND "${manual}" "${option}" at)
        expect("at GREATER -1" "kestory-export.1 lacks ${option}")
        string(FIND "${completion}" "${option}" at)
        expect("at GREATER -1" "the completion lacks ${option}")
    endforeach()
    foreach(page kestory kestory-export)
        execute_process(COMMAND groff -k -man -Tutf8 -ww -z ${prefix}/share/man/man1/${page}.1
                        ERROR_VARIABLE log RESULT_VARIABLE status)
        string(REGEX REPLACE "[^\n]*(cannot adjust|can't break) line\n" "" log "${log}")
        expect("status EQUAL 0 AND log STREQUAL \"\"" "${page}.1 does not format cleanly: ${log}")
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
        execute_process(COMMAND ${dpkg_deb} -f ${debs} Recommends OUTPUT_VARIABLE recommends)
        expect("recommends MATCHES \"qt6-wayland\"" "Recommends lacks qt6-wayland: ${recommends}")
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
