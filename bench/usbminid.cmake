# Per-pixel correction of the minidriver's scan engine: one 300-dpi colour line.
scansuite_bench(usbminid_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/usbminid_bench.cc LIBS usbminid_objects)
