# text_bench: the text operations over a 4 MiB mixed text, each beside the
# plain byte search or the direct ICU call it competes with.
add_executable(text_bench ${CMAKE_CURRENT_LIST_DIR}/text_bench.cpp)
target_link_libraries(text_bench PRIVATE quorvane_text ICU::uc benchmark::benchmark)
