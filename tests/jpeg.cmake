# JPEG decoding and the committed artwork.
add_executable(jpeg_image_test
  ${CMAKE_CURRENT_SOURCE_DIR}/jpeg_image_test.cpp
  ${PROJECT_SOURCE_DIR}/src/widgets/JpegImage.cpp
)
target_include_directories(jpeg_image_test PRIVATE ${PROJECT_SOURCE_DIR}/src/widgets)
target_compile_definitions(jpeg_image_test PRIVATE
  NIMBREL_ART_DIR="${PROJECT_SOURCE_DIR}/data/art")
target_link_libraries(jpeg_image_test PRIVATE Qt6::Gui JPEG::JPEG GTest::gtest_main)
gtest_discover_tests(jpeg_image_test PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
