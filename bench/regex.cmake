# regex_bench: the download job's use of RegexObject against PCRE2 run directly.
add_executable(regex_bench ${CMAKE_CURRENT_LIST_DIR}/regex_bench.cpp)
target_link_libraries(regex_bench PRIVATE quorvane_regex PkgConfig::PCRE2_16 benchmark::benchmark)
