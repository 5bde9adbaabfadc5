# Debian ships the OpenCV modules we use without a CMake package unless the whole
# libopencv-dev is installed, so find them directly. roadkeep_opencv is the core alone (images,
# flips); roadkeep_opencv_imgproc adds the drawing that only the card maker does. imgcodecs is
# left out on purpose: it loads some 140 shared libraries at start-up, and JPEG files are
# written with libjpeg-turbo.
find_path(OPENCV_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4 REQUIRED)
find_library(OPENCV_core_LIB opencv_core REQUIRED)
find_library(OPENCV_imgproc_LIB opencv_imgproc REQUIRED)
add_library(roadkeep_opencv INTERFACE)
target_include_directories(roadkeep_opencv SYSTEM INTERFACE ${OPENCV_INCLUDE_DIR})
target_link_libraries(roadkeep_opencv INTERFACE ${OPENCV_core_LIB})
add_library(roadkeep_opencv_imgproc INTERFACE)
target_link_libraries(roadkeep_opencv_imgproc INTERFACE roadkeep_opencv ${OPENCV_imgproc_LIB})
