#include "jpeg_support.h"

#include <cstring>

#include "platform/debug_output.h"

namespace ombrelo {
namespace {

// Keeps the library's text and jumps back to the caller's setjmp. Nothing
// in this frame has a destructor.
[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, manager->message);
  std::longjmp(manager->jump, kJpegErrorCode);
}

// Warnings and trace texts of the library: to the debug output.
void OutputMessage(j_common_ptr cinfo) {
  char text[JMSG_LENGTH_MAX + 1];
  (*cinfo->err->format_message)(cinfo, text);
  const size_t length = std::strlen(text);
  text[length] = '\n';
  DebugOutput(std::string_view(text, length + 1));
}

}  // namespace

jpeg_error_mgr* InstallJpegErrorManager(JpegErrorManager* manager) {
  jpeg_error_mgr* pub = jpeg_std_error(&manager->pub);
  pub->error_exit = ErrorExit;
  pub->output_message = OutputMessage;
  manager->message[0] = '\0';
  return pub;
}

}  // namespace ombrelo
