# The adapter setup's CONFIG.SYS edit beside `grep -viF` doing the same removal, and a copy run of
# 200 files under the virtual clock.
scansuite_bench(hbasetup_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/hbasetup_bench.cc
                LIBS hbasetup_core platform_testing)
