#pragma once
// Shared plumbing for the libjpeg encoder and decoder: an error manager whose
// fatal-error exit jumps back to the caller instead of ending the process,
// and whose messages go to the debug output instead of standard error.
//
// Usage: install it, then `if (setjmp(manager.jump)) { ...destroy, fail... }`
// before the first library call. The function holding the setjmp (and every
// frame between it and the library) must keep no object with a destructor
// alive, since longjmp skips destructors.
//
// Private to the imaging library (its own include path, not the public
// one): the library's headers stay out of the imaging interface.
#ifndef OMBRELO_IMAGING_LIBRARY
#error "jpeg_support.h is private to the imaging library"
#endif
#include <csetjmp>
#include <cstddef>
#include <cstdio>

// jpeglib.h needs FILE and size_t declared before it.
// clang-format off
#include <jpeglib.h>
// clang-format on

namespace ombrelo {

// The value setjmp returns after a fatal library error.
constexpr int kJpegErrorCode = 256;

struct JpegErrorManager {
  jpeg_error_mgr pub;  // first member: the library sees only this part
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];  // text of the last fatal error
};

// Fills the manager with the library's standard routines, then replaces the
// fatal exit and the message output. Returns the pointer to store in
// cinfo.err.
jpeg_error_mgr* InstallJpegErrorManager(JpegErrorManager* manager);

}  // namespace ombrelo
