# Resources linked into executables: each file becomes a generated C++ source (tools/embed) that
# registers its bytes under a name and type at start-up, found again through FindResourceA. The target
# must be an executable or an OBJECT library named by one: in a static library nothing refers to the
# registration object, so the linker would leave it out.

# vorlanth_embed_resource(target NAME TYPE file)
#   Embeds file (relative to the calling folder, or absolute; may be the output of another custom
#   command) in the executable target as resource NAME of TYPE (RCDATA, ICON or another type name).
function(vorlanth_embed_resource target name type file)
    get_filename_component(input "${file}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    set(folder "${CMAKE_CURRENT_BINARY_DIR}/${target}_resources")
    file(MAKE_DIRECTORY "${folder}")
    if(WIN32)
        # On Windows the resource compiler links it as a real resource.
        set(script "${folder}/${name}_${type}.rc")
        file(WRITE "${script}" "${name} ${type} \"${input}\"\n")
        set_source_files_properties("${script}" PROPERTIES OBJECT_DEPENDS "${input}")
        target_sources(${target} PRIVATE "${script}")
        return()
    endif()
    set(output "${folder}/${name}_${type}.cpp")
    add_custom_command(
        OUTPUT "${output}"
        COMMAND embed "${name}" "${type}" "${input}" "${output}"
        DEPENDS embed "${input}"
        COMMENT "Embedding ${file} in ${target} as resource ${name}"
        VERBATIM)
    target_sources(${target} PRIVATE "${output}")
    target_link_libraries(${target} PRIVATE vorlanth_platform)
endfunction()

# vorlanth_compile_form(target NAME textfile [DEPENDS file...])
#   Compiles the text form of a window description with formc at build time and embeds the result in
#   the executable target as RCDATA resource NAME. formc names the picture files it read in a
#   dependency file, so editing a picture rebuilds the description; files listed after DEPENDS are
#   added to that.
function(vorlanth_compile_form target name textfile)
    cmake_parse_arguments(PARSE_ARGV 3 arg "" "" "DEPENDS")
    get_filename_component(input "${textfile}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    set(folder "${CMAKE_CURRENT_BINARY_DIR}/${target}_resources")
    file(MAKE_DIRECTORY "${folder}")
    set(output "${folder}/${name}.bin")
    if(CMAKE_CROSSCOMPILING)
        # formc runs under the emulator there and would name the pictures by Windows paths, which
        # make cannot read: the DEPENDS list alone then says what the description is made of.
        add_custom_command(
            OUTPUT "${output}"
            COMMAND formc "${input}" "${output}"
            DEPENDS formc "${input}" ${arg_DEPENDS}
            COMMENT "Compiling window description ${textfile}"
            VERBATIM)
    else()
        add_custom_command(
            OUTPUT "${output}"
            COMMAND formc "${input}" "${output}" --depfile "${output}.d"
            DEPENDS formc "${input}" ${arg_DEPENDS}
            DEPFILE "${output}.d"
            COMMENT "Compiling window description ${textfile}"
            VERBATIM)
    endif()
    vorlanth_embed_resource(${target} ${name} RCDATA "${output}")
endfunction()
