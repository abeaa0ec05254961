# External packages, all from Debian (installed by scripts/setup).
find_package(Threads REQUIRED)
find_package(Boost 1.74 REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(SDL2 IMPORTED_TARGET sdl2)
pkg_check_modules(EPOXY IMPORTED_TARGET epoxy)
pkg_check_modules(FREETYPE IMPORTED_TARGET freetype2)
pkg_check_modules(OPENAL IMPORTED_TARGET openal)
pkg_check_modules(ALUT IMPORTED_TARGET freealut)
pkg_check_modules(ASSIMP IMPORTED_TARGET assimp)

# Everything every library of ours needs: the source root on the include path.
add_library(mirav_common INTERFACE)
target_include_directories(mirav_common INTERFACE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(mirav_common INTERFACE Boost::boost Threads::Threads ${CMAKE_DL_LIBS})
pkg_check_modules(VORBISENC IMPORTED_TARGET vorbisenc vorbis ogg)
