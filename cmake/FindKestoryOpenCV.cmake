# Debian's split OpenCV -dev packages ship headers and libraries but no CMake package file,
# so the three modules the core uses are found by hand into one imported target.
find_path(KESTORY_OPENCV_INCLUDE opencv2/core.hpp PATH_SUFFIXES opencv4 REQUIRED)
set(_kestory_cv_libs)
foreach(module core imgproc imgcodecs)
    find_library(KESTORY_OPENCV_${module} opencv_${module} REQUIRED)
    list(APPEND _kestory_cv_libs ${KESTORY_OPENCV_${module}})
endforeach()
add_library(kestory::opencv INTERFACE IMPORTED)
target_include_directories(kestory::opencv SYSTEM INTERFACE ${KESTORY_OPENCV_INCLUDE})
target_link_libraries(kestory::opencv INTERFACE ${_kestory_cv_libs})
