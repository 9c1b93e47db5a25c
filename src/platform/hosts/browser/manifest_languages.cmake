# Writes SITE/manifest.LL.webmanifest for each of LANGUAGES: TEMPLATE (the page's manifest) with
# its description as po/LL.po translates it, and its language. The page links the one of the
# language it shows (i18n.js), so that the browser's offer to install the game speaks it too.
cmake_minimum_required(VERSION 3.21)
file(READ ${TEMPLATE} manifest)
string(REGEX MATCH "\"description\": \"([^\"\\\\]|\\\\.)*\"" line "${manifest}")
string(REGEX REPLACE "^\"description\": \"(.*)\"$" "\\1" description "${line}")
foreach(language IN LISTS LANGUAGES)
    # The catalogues are written without wrapping (scripts/po.sh): a text is one line, its
    # translation the next, both escaped as JSON escapes them.
    file(STRINGS ${PO_DIR}/${language}.po lines ENCODING UTF-8)
    set(translated "")
    set(next FALSE)
    foreach(entry IN LISTS lines)
        if(next)
            string(REGEX REPLACE "^msgstr \"(.*)\"$" "\\1" translated "${entry}")
            break()
        endif()
        if(entry STREQUAL "msgid \"${description}\"")
            set(next TRUE)
        endif()
    endforeach()
    if(translated STREQUAL "")
        message(FATAL_ERROR "${PO_DIR}/${language}.po does not translate the manifest's description")
    endif()
    string(REPLACE "_" "-" tag ${language})
    string(REPLACE "${line}" "\"description\": \"${translated}\",\n  \"lang\": \"${tag}\"" out
        "${manifest}")
    file(WRITE ${SITE}/manifest.${language}.webmanifest "${out}")
endforeach()
