# The Windows build's fonts. The Japanese face the package ships for systems without one of
# their own: IPAGothic from Debian's fonts-ipafont-gothic, under the IPA Font License v1.0 (its
# text goes with it), copied into TAVLO_FONTS (build-windows/fonts). The text engine looks in
# "fonts" beside the program: tavlo_fonts_beside(TARGET) links that folder beside TARGET.
# (Included by the Windows build only: Linux asks fontconfig, the page has no fonts.)
find_file(TAVLO_JAPANESE_FONT ipag.ttf PATHS /usr/share/fonts/opentype/ipafont-gothic
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(TAVLO_JAPANESE_FONT_LICENCE /usr/share/doc/fonts-ipafont-gothic/copyright)
set(TAVLO_FONTS ${PROJECT_BINARY_DIR}/fonts)
file(COPY ${TAVLO_JAPANESE_FONT} DESTINATION ${TAVLO_FONTS})
configure_file(${TAVLO_JAPANESE_FONT_LICENCE} ${TAVLO_FONTS}/ipag-license.txt COPYONLY)
function(tavlo_fonts_beside target)
    get_target_property(folder ${target} BINARY_DIR)
    file(CREATE_LINK ${TAVLO_FONTS} ${folder}/fonts SYMBOLIC)
endfunction()
