#pragma once
// Shared pieces of the zip tests: the fixture archives (built with the test
// program by scripts/make_zip_fixtures.py from Info-ZIP zip, Python's
// zipfile and a byte-level writer; read-only for the tests), scratch
// folders and small file helpers.

#include <string>
#include <vector>

#include "support/test_env.h"

namespace ziptest {

const std::string& Fixtures();
std::string Fixture(const std::string& name);

std::string ReadFile(const std::string& path);
std::vector<unsigned char> ReadBytes(const std::string& path);
void WriteFile(const std::string& path, const std::string& data);
bool Exists(const std::string& path);
// Runs a shell command, returns its exit status.
int RunShell(const std::string& command);

// Regular files and folders below root, relative, sorted; folders end in "/".
std::vector<std::string> ListTree(const std::string& root);

using ScratchDir = test_env::TempDir;

}  // namespace ziptest
