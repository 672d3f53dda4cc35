// Asks the running system for its version and classifies it (OsVersion.h).
#pragma once

#include "config/OsVersion.h"

// What GetVersionExW, ntdll's RtlGetNtVersionNumbers and the registry report.
OsVersionFacts GatherOsVersionFacts();

std::int32_t GetOSVersionLevel();
std::int32_t GetOSSupportClass();
