# The download job without a window (app_job_runner) and the loopback nginx it is measured
# against (app_bench_server); bench/app_bench.sh runs both with hyperfine and curl.
add_executable(app_job_runner app_job_runner.cpp)
target_link_libraries(app_job_runner PRIVATE quorvane_app)
# The job needs no window, so the Qt libraries need not be loaded at start.
target_link_options(app_job_runner PRIVATE -Wl,--as-needed)

add_executable(app_bench_server app_bench_server.cpp)
target_link_libraries(app_bench_server PRIVATE quorvane_test_servers)
