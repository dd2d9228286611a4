# Debian's split OpenCV -dev packages ship headers and libraries but no CMake package file,
# so the modules are found by hand into imported targets.
find_path(KESTORY_OPENCV_INCLUDE opencv2/core.hpp PATH_SUFFIXES opencv4 REQUIRED)
foreach(module core imgproc imgcodecs)
    find_library(KESTORY_OPENCV_${module} opencv_${module} REQUIRED)
endforeach()
# What the core uses: pictures and their resizing.
add_library(kestory::opencv INTERFACE IMPORTED)
target_include_directories(kestory::opencv SYSTEM INTERFACE ${KESTORY_OPENCV_INCLUDE})
target_link_libraries(kestory::opencv INTERFACE ${KESTORY_OPENCV_core} ${KESTORY_OPENCV_imgproc})
# The image codecs, for the fixture writers of the tests, samples and benchmarks only: the core
# decodes with TurboJPEG.
add_library(kestory::opencv_imgcodecs INTERFACE IMPORTED)
target_link_libraries(kestory::opencv_imgcodecs INTERFACE kestory::opencv ${KESTORY_OPENCV_imgcodecs})
