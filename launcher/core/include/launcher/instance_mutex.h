#pragma once
// Single-instance guard shared by the launcher and the shell it starts.
#include <optional>
#include <string>

#include "platform/named_mutex.h"

using InstanceMutexHandle = platform::NamedMutex;

// Takes the machine-wide mutex "Global\<name>". When it is already taken,
// brings a top-level window titled exactly name to the front (logging
// "start exist item %p") and gives nothing. A mutex that cannot be made at
// all also gives nothing: callers treat it like a running instance.
std::optional<InstanceMutexHandle> AcquireInstanceMutex(const std::wstring& name);
