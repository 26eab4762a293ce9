#include "vidscribe/vidscribe.h"

// Recorders that take their stream parameters from the data itself need not
// override these two.
int IAvWriter::SetVideo(int, int, int, int) {
  return 0;
}
int IAvWriter::SetAudio(int, int, int, int) {
  return 0;
}
IAvWriter::~IAvWriter() = default;
