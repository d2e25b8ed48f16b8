// OpenMP's entry points, as Tesseract calls them, run serially on the
// calling thread (see serial_openmp.cpp for why).
#pragma once

#define KESTROVA_OPENMP_ENTRY __attribute__((visibility("default")))

extern "C" {
KESTROVA_OPENMP_ENTRY void GOMP_parallel(void (*body)(void*), void* data, unsigned threads, unsigned flags);
KESTROVA_OPENMP_ENTRY void GOMP_parallel_sections(void (*body)(void*), void* data, unsigned threads, unsigned count,
                                                  unsigned flags);
KESTROVA_OPENMP_ENTRY unsigned GOMP_sections_next();
KESTROVA_OPENMP_ENTRY void GOMP_sections_end_nowait();
KESTROVA_OPENMP_ENTRY int omp_get_num_threads();
KESTROVA_OPENMP_ENTRY int omp_get_thread_num();
}
