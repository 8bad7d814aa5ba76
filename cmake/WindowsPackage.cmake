# The Windows package of the cross build (cpack in the build folder): one folder holding the
# programs, the Qt and QCustomPlot DLLs with the mingw runtime beside them, Qt's platform and style
# plugins, Qt's Japanese texts, qt.conf and the licence notices; as kmr-5300-VERSION-win64.zip and,
# with NSIS, as the installer kmr-5300-VERSION-win64-setup.exe (Start-menu entry, uninstaller).
get_filename_component(KMR_QT_PREFIX "${Qt6_DIR}/../../.." ABSOLUTE)

# `cpack` installs what was built; it does not build every test program first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

foreach(dll Qt6Core Qt6Gui Qt6Widgets Qt6PrintSupport Qt6Network libstdc++-6 libgcc_s_seh-1 libwinpthread-1)
  install(FILES ${KMR_QT_PREFIX}/bin/${dll}.dll DESTINATION .)
endforeach()
if(TARGET qcustomplot)
  install(TARGETS qcustomplot RUNTIME DESTINATION . LIBRARY DESTINATION . ARCHIVE EXCLUDE_FROM_ALL)
endif()
# windows: the desktop; offscreen: runs without a screen (kmr-5300.exe -platform offscreen).
install(FILES ${KMR_QT_PREFIX}/plugins/platforms/qwindows.dll ${KMR_QT_PREFIX}/plugins/platforms/qoffscreen.dll
        DESTINATION platforms)
install(FILES ${KMR_QT_PREFIX}/plugins/styles/qwindowsvistastyle.dll DESTINATION styles)
# Qt's own texts in Japanese (a file dialog's labels, an entry box's menu): the cross-built Qt has
# no translations, the build machine's Qt of the same version has them (qt6-translations-l10n).
set(_qt_ja /usr/share/qt6/translations/qtbase_ja.qm)
if(EXISTS ${_qt_ja})
  install(FILES ${_qt_ja} DESTINATION translations)
endif()
# Qt looks for its plugins (and its translations, in translations/) beside the program, not in the
# folder it was built for.
file(WRITE ${CMAKE_BINARY_DIR}/package/qt.conf "[Paths]\nPrefix = .\nPlugins = .\n")
install(FILES ${CMAKE_BINARY_DIR}/package/qt.conf DESTINATION .)

set(_notice ${CMAKE_BINARY_DIR}/package/NOTICE.txt)
configure_file(${CMAKE_CURRENT_LIST_DIR}/windows/NOTICE.txt.in ${_notice} @ONLY NEWLINE_STYLE CRLF)
install(FILES ${_notice} DESTINATION .)
install(FILES /usr/share/common-licenses/LGPL-3 DESTINATION licenses RENAME LGPL-3.txt)
install(FILES /usr/share/common-licenses/GPL-3 DESTINATION licenses RENAME GPL-3.txt)
if(KMR_QCUSTOMPLOT_SOURCE_DIR AND EXISTS ${KMR_QCUSTOMPLOT_SOURCE_DIR}/GPL.txt)
  install(FILES ${KMR_QCUSTOMPLOT_SOURCE_DIR}/GPL.txt DESTINATION licenses RENAME QCustomPlot-GPL.txt)
endif()

set(CPACK_PACKAGE_NAME kmr-5300)
set(CPACK_PACKAGE_VENDOR VNT)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "KMR-5300: data storage software for the KMR-530A / KMR-510C strainmeter")
set(CPACK_PACKAGE_FILE_NAME kmr-5300-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY KMR-5300)
set(CPACK_PACKAGE_EXECUTABLES kmr-5300 KMR-5300)
set(CPACK_RESOURCE_FILE_LICENSE ${_notice})
# The programs and QCustomPlot without their debugging information (Qt's DLLs come stripped).
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR ZIP)
find_program(KMR_MAKENSIS makensis)
if(KMR_MAKENSIS)
  list(APPEND CPACK_GENERATOR NSIS)
endif()
# The installer itself is a 32-bit program: the 64-bit programs go to the 64-bit Program Files.
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_PACKAGE_NAME KMR-5300)
set(CPACK_NSIS_DISPLAY_NAME "KMR-5300 ${PROJECT_VERSION}")
set(CPACK_NSIS_INSTALLED_ICON_NAME kmr-5300.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# The installer's file name ends in -setup (the ZIP's does not).
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/windows/PackageNames.cmake)
include(CPack)
