# Debian ships the OpenCV modules we use (core, imgproc, imgcodecs) without a CMake
# package unless the whole libopencv-dev is installed, so find them directly.
find_path(OPENCV_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4 REQUIRED)
add_library(roadkeep_opencv INTERFACE)
target_include_directories(roadkeep_opencv SYSTEM INTERFACE ${OPENCV_INCLUDE_DIR})
foreach(module core imgproc imgcodecs)
  find_library(OPENCV_${module}_LIB opencv_${module} REQUIRED)
  target_link_libraries(roadkeep_opencv INTERFACE ${OPENCV_${module}_LIB})
endforeach()
