# The libraries as an installable package: headers under <prefix>/include/vorlanth, the libraries
# with a CMake config package (namespace Vorlanth::) and pkg-config files.
#
# Our headers include each other from the project root ("png/pngobject.h"), users write
# <vorlanth/png/pngobject.h>: both roots are include directories of every exported target. In the
# build tree the second form works through forwarding headers under generated/vorlanth.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VORLANTH_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/Vorlanth")

# Installed executables find the shared libraries in ../lib wherever the tree is moved.
if(NOT WIN32 AND NOT DEFINED CMAKE_INSTALL_RPATH)
    set(CMAKE_INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
endif()

# vorlanth_public_library(target NAME name HEADERS folder... [EXPORT set] [EXCLUDE regex])
#   Makes target one of the installed libraries: exported as Vorlanth::name (in export set
#   VorlanthTargets unless another is given), versioned when shared, and the headers of each folder
#   (relative to the project root; *_internal.h and names matching regex excluded) installed under
#   include/vorlanth/<folder>.
function(vorlanth_public_library target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "NAME;EXPORT;EXCLUDE" "HEADERS")
    if(NOT arg_EXPORT)
        set(arg_EXPORT VorlanthTargets)
    endif()
    set_target_properties(${target} PROPERTIES EXPORT_NAME ${arg_NAME} VERSION ${PROJECT_VERSION}
                                               SOVERSION ${PROJECT_VERSION_MAJOR})
    # The headers are C++20: programs that use them get at least that.
    target_compile_features(${target} PUBLIC cxx_std_20)
    target_include_directories(${target} PUBLIC
        $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
        $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/generated>
        $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>
        $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/vorlanth>)
    foreach(folder IN LISTS arg_HEADERS)
        file(GLOB headers CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/${folder}/*.h")
        list(FILTER headers EXCLUDE REGEX "_internal\\.h$")
        if(arg_EXCLUDE)
            list(FILTER headers EXCLUDE REGEX "${arg_EXCLUDE}")
        endif()
        install(FILES ${headers} DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/vorlanth/${folder}"
                COMPONENT Development)
        foreach(header IN LISTS headers)
            get_filename_component(name "${header}" NAME)
            file(CONFIGURE OUTPUT "${PROJECT_BINARY_DIR}/generated/vorlanth/${folder}/${name}"
                 CONTENT "// Generated: the build tree's <vorlanth/${folder}/${name}>.\n#include \"${header}\"\n")
        endforeach()
    endforeach()
    install(TARGETS ${target} EXPORT ${arg_EXPORT}
            ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
            LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
            RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
endfunction()

# vorlanth_write_package(): after every library is defined. The config package, its version file,
# and the pkg-config files.
function(vorlanth_write_package)
    install(FILES "${PROJECT_BINARY_DIR}/generated/vorlanth/version.h"
            DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/vorlanth" COMPONENT Development)
    install(EXPORT VorlanthTargets NAMESPACE Vorlanth:: DESTINATION "${VORLANTH_CMAKE_DIR}"
            COMPONENT Development)
    install(EXPORT VorlanthHostTargets NAMESPACE Vorlanth:: DESTINATION "${VORLANTH_CMAKE_DIR}"
            COMPONENT Development)

    # What the config file must find again for the exported link lines. A static library carries its
    # private dependencies to the user's link; a shared one has them inside.
    get_target_property(type vorlanth_png TYPE)
    set(VORLANTH_PACKAGE_STATIC OFF)
    if(type STREQUAL "STATIC_LIBRARY")
        set(VORLANTH_PACKAGE_STATIC ON)
    endif()
    set(VORLANTH_PACKAGE_ISAL OFF)
    set(VORLANTH_PACKAGE_LIBDEFLATE OFF)
    if(NOT VORLANTH_ZLIB_ONLY AND NOT WIN32)
        set(VORLANTH_PACKAGE_ISAL ${ISAL_FOUND})
        set(VORLANTH_PACKAGE_LIBDEFLATE ${LIBDEFLATE_FOUND})
    endif()
    set(VORLANTH_PACKAGE_QT ON)
    if(WIN32)
        set(VORLANTH_PACKAGE_QT OFF)
    endif()
    configure_package_config_file(
        "${PROJECT_SOURCE_DIR}/cmake/VorlanthConfig.cmake.in" "${PROJECT_BINARY_DIR}/VorlanthConfig.cmake"
        INSTALL_DESTINATION "${VORLANTH_CMAKE_DIR}")
    # Before 1.0 a minor version may break the interface; from 1.0 on only a major one.
    set(compatibility SameMajorVersion)
    if(PROJECT_VERSION_MAJOR EQUAL 0)
        set(compatibility SameMinorVersion)
    endif()
    write_basic_package_version_file("${PROJECT_BINARY_DIR}/VorlanthConfigVersion.cmake"
                                     COMPATIBILITY ${compatibility})
    install(FILES "${PROJECT_BINARY_DIR}/VorlanthConfig.cmake" "${PROJECT_BINARY_DIR}/VorlanthConfigVersion.cmake"
            DESTINATION "${VORLANTH_CMAKE_DIR}" COMPONENT Development)

    # pkg-config: one file per library, chained by Requires. With static libraries only, what a
    # library needs privately is needed by every link, so it goes to Requires (and Libs) as well.
    if(VORLANTH_PACKAGE_STATIC)
        set(private "")
    else()
        set(private ".private")
    endif()
    set(platform_private "")
    set(platform_libs "")
    if(WIN32)
        set(platform_libs " -lgdi32 -luser32 -lshell32")
    else()
        set(platform_private "freetype2 fontconfig")
    endif()
    set(png_private "")
    if(VORLANTH_PACKAGE_ISAL)
        string(APPEND png_private " libisal")
    endif()
    if(VORLANTH_PACKAGE_LIBDEFLATE)
        string(APPEND png_private " libdeflate")
    endif()
    set(host_public "vorlanth-toolkit-controls")
    if(VORLANTH_PACKAGE_QT)
        string(APPEND host_public " Qt6Widgets")
    endif()
    vorlanth_write_pc(platform vorlanth_platform "The desktop API the libraries draw and run on" ""
                      "${platform_private}" "${platform_libs}")
    vorlanth_write_pc(toolkit-core vorlanth_toolkit_core "Streams, graphics, canvases and bitmaps"
                      "vorlanth-platform" "" "")
    vorlanth_write_pc(toolkit-controls vorlanth_toolkit_controls "Controls, forms and the application"
                      "vorlanth-toolkit-core" "" "")
    vorlanth_write_pc(toolkit-host vorlanth_toolkit_host "Forms on the screen" "${host_public}" "" "")
    vorlanth_write_pc(png vorlanth_png "The PNG image library"
                      "vorlanth-toolkit-core vorlanth-platform zlib" "${png_private}" "")
    vorlanth_write_pc(pngbutton vorlanth_pngbutton "A push button that paints PNG pictures"
                      "vorlanth-png vorlanth-toolkit-controls" "" "")
endfunction()

# vorlanth_write_pc(name target description requires requires_private extra_libs)
#   Writes and installs vorlanth-<name>.pc for target. Reads ${private} of the caller.
function(vorlanth_write_pc name target description requires requires_private extra_libs)
    string(STRIP "${requires_private}" requires_private)
    if(private STREQUAL "" AND NOT requires_private STREQUAL "")
        string(STRIP "${requires} ${requires_private}" requires)
        set(requires_private "")
    endif()
    # The prefix relative to the file itself, so that the tree can be installed with --prefix or moved.
    set(prefix "${CMAKE_INSTALL_PREFIX}")
    if(NOT IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
        string(REGEX REPLACE "[^/]+" ".." up "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
        set(prefix "\${pcfiledir}/${up}")
    endif()
    set(lines
        "prefix=${prefix}"
        "exec_prefix=\${prefix}"
        "libdir=\${prefix}/${CMAKE_INSTALL_LIBDIR}"
        "includedir=\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}"
        ""
        "Name: vorlanth-${name}"
        "Description: ${description}"
        "Version: ${PROJECT_VERSION}"
        "Requires: ${requires}"
        "Requires.private: ${requires_private}"
        "Cflags: -I\${includedir} -I\${includedir}/vorlanth"
        "Libs: -L\${libdir} -l$<TARGET_FILE_BASE_NAME:${target}>${extra_libs}")
    list(JOIN lines "\n" content)
    file(GENERATE OUTPUT "${PROJECT_BINARY_DIR}/pkgconfig/vorlanth-${name}.pc" CONTENT "${content}\n")
    install(FILES "${PROJECT_BINARY_DIR}/pkgconfig/vorlanth-${name}.pc"
            DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig" COMPONENT Development)
endfunction()
