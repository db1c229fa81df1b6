# web_bench: WebRequest against a plain libcurl GET from the same loopback nginx, and the
# character-set step against ICU converting the same bytes directly.
add_executable(web_bench ${CMAKE_CURRENT_LIST_DIR}/web_bench.cpp)
target_include_directories(web_bench PRIVATE ${QUORVANE_SOURCE_DIR}/web/src)
target_link_libraries(web_bench PRIVATE quorvane_web quorvane_test_servers CURL::libcurl ICU::uc
                                        benchmark::benchmark)
