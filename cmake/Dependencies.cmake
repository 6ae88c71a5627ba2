# Every system library the project links, found once: one imported target per
# library, named Dep::<name>. Targets link these, never pkg_check_modules.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

# corvane_dependency(<name> <pkg-config module>)
function(corvane_dependency name module)
  pkg_check_modules(CORVANE_DEP_${name} REQUIRED IMPORTED_TARGET GLOBAL ${module})
  add_library(Dep::${name} ALIAS PkgConfig::CORVANE_DEP_${name})
endfunction()

corvane_dependency(X11 x11)
corvane_dependency(Xext xext)
corvane_dependency(Xrandr xrandr)
corvane_dependency(Xfixes xfixes)
corvane_dependency(Xtst xtst)
corvane_dependency(AvCodec libavcodec)
corvane_dependency(AvFormat libavformat)
corvane_dependency(AvUtil libavutil)
corvane_dependency(SwScale libswscale)
corvane_dependency(X264 x264)
corvane_dependency(Zlib zlib)
corvane_dependency(Lzma liblzma)
corvane_dependency(Curl libcurl)
