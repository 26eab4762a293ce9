#pragma once
// Where the zip reader says why it refused or failed (an unsafe entry name,
// a corrupt archive, a file it could not write). The reader belongs to no
// program, so it has no log of its own: a program hands it a sink once at
// start-up. Until then the lines go nowhere.

// Receives one line, without a line end. Called from whichever thread is
// reading an archive.
using ZipLogSink = void (*)(const char* line);

// Safe to call while archives are being read on other threads.
void SetZipLogSink(ZipLogSink sink);
