# The Debian package: cpack -G DEB in the build directory (scripts/package) makes
# tervalia_<version>_amd64.deb. Its dependencies are computed from the binaries.
set(CPACK_PACKAGE_NAME tervalia)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Prefeitura Municipal de Ostare")
set(CPACK_PACKAGE_CONTACT "Prefeitura Municipal de Ostare <${TERVALIA_EMAIL}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Transmissor de declarações VAF e Simples Nacional da Prefeitura de Ostare")
set(CPACK_PACKAGE_DESCRIPTION "Com o Tervalia o contador cadastra as empresas clientes, obtém a chave
de acesso de cada uma com o certificado digital e transmite as declarações
VAF e os arquivos do Simples Nacional ao servidor da Prefeitura.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Qt SQLite driver and the Portuguese texts are plug-ins and data files, which shlibdeps
# cannot see; fbexport's embedded engine is a plug-in of libfbclient.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, qt6-translations-l10n, firebird3.0-server-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libnss3-tools, p11-kit-modules")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://${TERVALIA_SITE_ADDRESS}")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
