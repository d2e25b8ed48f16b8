// The OpenMP entry points Tesseract calls, run on the calling thread.
//
// Tesseract forks a team at every time step of its LSTM to compute the four
// gates. We already run one engine a core, so those teams only ever have one
// thread, yet libgomp still ends each with a futex call: some 60,000 system
// calls a screen of terminals, a tenth of its CPU time. Defined here, in the
// module Tesseract is loaded with, these come before libgomp in Tesseract's
// symbol lookup and take its place.
#include "desktop/tesseract/serial_openmp.h"

namespace {

// The sections of the innermost `parallel sections` on this thread: each
// engine thread hands out its own.
struct Sections {
  unsigned next = 1;
  unsigned count = 0;
};
thread_local Sections current;

}  // namespace

extern "C" {

KESTROVA_OPENMP_ENTRY void GOMP_parallel(void (*body)(void*), void* data, unsigned, unsigned) { body(data); }

KESTROVA_OPENMP_ENTRY void GOMP_parallel_sections(void (*body)(void*), void* data, unsigned, unsigned count,
                                                  unsigned) {
  const Sections outer = current;
  current = {1, count};
  body(data);
  current = outer;
}

// Sections are numbered from 1; 0 says none is left.
KESTROVA_OPENMP_ENTRY unsigned GOMP_sections_next() { return current.next <= current.count ? current.next++ : 0; }

KESTROVA_OPENMP_ENTRY void GOMP_sections_end_nowait() {}

KESTROVA_OPENMP_ENTRY int omp_get_num_threads() { return 1; }

KESTROVA_OPENMP_ENTRY int omp_get_thread_num() { return 0; }

}  // extern "C"
