; The installer's own texts in each of its languages (installer.nsi includes this file as UTF-8;
; Modern UI translates its pages itself). The words follow the glossaries in po/glossary: the best
; score, the settings, the game; German and Spanish speak to the player as "du" and "tú", as the
; game's catalogues do. The button names are Windows' own in each language.

LangString LANGDLL_TITLE ${LANG_ENGLISH} "Installer Language"
LangString LANGDLL_TITLE ${LANG_JAPANESE} "インストーラーの言語"
LangString LANGDLL_TITLE ${LANG_GERMAN} "Sprache des Installationsprogramms"
LangString LANGDLL_TITLE ${LANG_FRENCH} "Langue du programme d’installation"
LangString LANGDLL_TITLE ${LANG_SPANISH} "Idioma del instalador"
LangString LANGDLL_TITLE ${LANG_SIMPCHINESE} "安装程序语言"

LangString LANGDLL_INFO ${LANG_ENGLISH} "Please select a language."
LangString LANGDLL_INFO ${LANG_JAPANESE} "言語を選んでください。"
LangString LANGDLL_INFO ${LANG_GERMAN} "Wähle eine Sprache."
LangString LANGDLL_INFO ${LANG_FRENCH} "Choisissez une langue."
LangString LANGDLL_INFO ${LANG_SPANISH} "Elige un idioma."
LangString LANGDLL_INFO ${LANG_SIMPCHINESE} "请选择一种语言。"

LangString GAME_RUNNING ${LANG_ENGLISH} "Tavlo is running. End the game, then choose Retry."
LangString GAME_RUNNING ${LANG_JAPANESE} "Tavlo が起動しています。ゲームを終了してから [再試行] を選んでください。"
LangString GAME_RUNNING ${LANG_GERMAN} "Tavlo läuft. Beende das Spiel und wähle dann „Wiederholen“."
LangString GAME_RUNNING ${LANG_FRENCH} "Tavlo est lancé. Quittez le jeu, puis choisissez « Réessayer »."
LangString GAME_RUNNING ${LANG_SPANISH} "Tavlo está en marcha. Cierra el juego y luego elige «Reintentar»."
LangString GAME_RUNNING ${LANG_SIMPCHINESE} "Tavlo 正在运行。请关闭游戏，然后选择“重试”。"

LangString REMOVE_DATA ${LANG_ENGLISH} "Also remove your best score and settings?"
LangString REMOVE_DATA ${LANG_JAPANESE} "ハイスコアと設定も削除しますか？"
LangString REMOVE_DATA ${LANG_GERMAN} "Auch deinen Rekord und deine Einstellungen entfernen?"
LangString REMOVE_DATA ${LANG_FRENCH} "Supprimer aussi votre meilleur score et vos paramètres ?"
LangString REMOVE_DATA ${LANG_SPANISH} "¿Eliminar también tu mejor puntuación y tu configuración?"
LangString REMOVE_DATA ${LANG_SIMPCHINESE} "是否同时删除最高分和设置？"

; The Start menu shortcut's description (the desktop entry's comment, its first words).
LangString SHORTCUT_DESCRIPTION ${LANG_ENGLISH} "A small reaction game"
LangString SHORTCUT_DESCRIPTION ${LANG_JAPANESE} "小さな反射神経ゲーム"
LangString SHORTCUT_DESCRIPTION ${LANG_GERMAN} "Ein kleines Reaktionsspiel"
LangString SHORTCUT_DESCRIPTION ${LANG_FRENCH} "Un petit jeu de réflexes"
LangString SHORTCUT_DESCRIPTION ${LANG_SPANISH} "Un pequeño juego de reflejos"
LangString SHORTCUT_DESCRIPTION ${LANG_SIMPCHINESE} "小巧的反应游戏"

; The installer's version information in each language: its description is what Windows shows
; for it in Task Manager and in the prompt that asks to let it change the system.
!macro VersionInLanguage language description company
    VIAddVersionKey /LANG=${language} "ProductName" "${NAME}"
    VIAddVersionKey /LANG=${language} "ProductVersion" "${VERSION}"
    VIAddVersionKey /LANG=${language} "FileVersion" "${VERSION}"
    VIAddVersionKey /LANG=${language} "FileDescription" "${description}"
    VIAddVersionKey /LANG=${language} "LegalCopyright" "${company}"
!macroend
!insertmacro VersionInLanguage ${LANG_ENGLISH} "${NAME} ${VERSION} setup" "Tavlo developers"
!insertmacro VersionInLanguage ${LANG_JAPANESE} "${NAME} ${VERSION} セットアップ" "Tavlo 開発者"
!insertmacro VersionInLanguage ${LANG_GERMAN} "${NAME} ${VERSION} – Installation" "Tavlo-Entwickler"
!insertmacro VersionInLanguage ${LANG_FRENCH} "Installation de ${NAME} ${VERSION}" "Les développeurs de Tavlo"
!insertmacro VersionInLanguage ${LANG_SPANISH} "Instalación de ${NAME} ${VERSION}" "Desarrolladores de Tavlo"
!insertmacro VersionInLanguage ${LANG_SIMPCHINESE} "${NAME} ${VERSION} 安装程序" "Tavlo 开发者"
